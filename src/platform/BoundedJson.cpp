#include "platform/BoundedJson.hpp"

namespace orvel::BoundedJson {

bool withinDepth(std::string_view bytes, std::size_t maxDepth) {
    std::size_t depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : bytes) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > maxDepth) return false;
        } else if ((c == '}' || c == ']') && depth > 0) {
            --depth;
        }
    }
    return true;
}

std::optional<nlohmann::json> parse(std::string_view bytes, std::size_t maxDepth) {
    // The parser stops at a NUL as at the end, which would let bytes after it through unread;
    // JSON never holds a raw NUL.
    if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
    if (!withinDepth(bytes, maxDepth)) return std::nullopt;
    auto value = nlohmann::json::parse(bytes, nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

std::optional<nlohmann::json> parseObject(std::string_view bytes, std::size_t maxDepth) {
    auto value = parse(bytes, maxDepth);
    if (!value || !value->is_object()) return std::nullopt;
    return value;
}

}  // namespace orvel::BoundedJson

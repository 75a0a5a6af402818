#include "platform/JsonFile.hpp"

namespace orvel::JsonFile {
namespace {

// Brackets outside strings; enough to refuse a deep file before the parser builds it.
bool nestedTooDeep(std::string_view text) {
    std::size_t depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth) return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

}  // namespace

std::optional<nlohmann::json> parseObject(std::string_view text) {
    if (nestedTooDeep(text)) return std::nullopt;
    auto value = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!value.is_object()) return std::nullopt;
    return value;
}

std::string encodeLenient(const nlohmann::json& value) {
    return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::optional<std::string> encodeStrict(const nlohmann::json& value) {
    try {
        return value.dump(2) + "\n";
    } catch (const nlohmann::json::type_error&) {
        return std::nullopt;
    }
}

}  // namespace orvel::JsonFile

#include "core/ControlMessage.hpp"

namespace orvel::ControlMessage {
namespace {

// A linear scan for the deepest bracket outside strings, so that the parser never builds a
// value that later recursion (copies, comparisons, serialisation) could choke on. Invalid
// JSON passes here and is refused by the parser.
bool withinDepth(std::string_view bytes) {
    int depth = 0;
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
            if (++depth > kMaxDepth) return false;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return true;
}

}  // namespace

std::optional<nlohmann::json> parseObject(std::string_view bytes) {
    if (!withinDepth(bytes)) return std::nullopt;
    auto value = nlohmann::json::parse(bytes, nullptr, /*allow_exceptions=*/false);
    if (!value.is_object()) return std::nullopt;  // a parse failure is "discarded", not an object
    return value;
}

std::optional<std::string> serializeLine(const nlohmann::json& message) {
    try {
        std::string line = message.dump();
        line += '\n';
        return line;
    } catch (const nlohmann::json::exception&) {
        // Invalid UTF-8 in a string: such a message is not sent at all.
        return std::nullopt;
    }
}

nlohmann::json success() {
    return {{"ok", true}};
}

nlohmann::json failure(std::string_view error) {
    return {{"ok", false}, {"error", error}};
}

bool isSuccess(const nlohmann::json& reply) {
    if (!reply.is_object()) return false;
    auto ok = reply.find("ok");
    return ok != reply.end() && ok->is_boolean() && ok->get<bool>();
}

std::optional<std::string> errorText(const nlohmann::json& reply) {
    if (!reply.is_object()) return std::nullopt;
    auto error = reply.find("error");
    if (error == reply.end() || !error->is_string()) return std::nullopt;
    return error->get<std::string>();
}

}  // namespace orvel::ControlMessage

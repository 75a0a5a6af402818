#include "core/ControlMessage.hpp"

#include "platform/BoundedJson.hpp"

namespace orvel::ControlMessage {

std::optional<nlohmann::json> parseObject(std::string_view bytes) {
    return BoundedJson::parseObject(bytes, kMaxDepth);
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

#include "platform/JsonFile.hpp"

#include "platform/BoundedJson.hpp"

namespace orvel::JsonFile {

std::optional<nlohmann::json> parseObject(std::string_view text) {
    return BoundedJson::parseObject(text, kMaxDepth);
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

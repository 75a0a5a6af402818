#pragma once
// Reading fields of JSON objects that come from outside: a missing field, a value that is not
// an object, and a field of the wrong type all read as "absent".

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace orvel {

inline const nlohmann::json* field(const nlohmann::json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

inline std::optional<std::string> textField(const nlohmann::json& object, const char* key) {
    const auto* value = field(object, key);
    if (!value || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

}  // namespace orvel

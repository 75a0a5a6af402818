#include "bridge/appletv/TxtRecord.hpp"

#include <algorithm>

namespace orvel {

std::map<std::string, std::string> readTxtRecord(const std::vector<std::string_view>& entries) {
    std::map<std::string, std::string> record;
    for (const auto entry : entries) {
        const auto equals = entry.find('=');
        std::string key(entry.substr(0, equals));
        // An entry that starts with "=" has no key and is to be ignored.
        if (key.empty()) continue;
        std::transform(key.begin(), key.end(), key.begin(), [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        });
        const auto value =
            equals == std::string_view::npos ? std::string_view() : entry.substr(equals + 1);
        record.try_emplace(std::move(key), value);
    }
    return record;
}

}  // namespace orvel

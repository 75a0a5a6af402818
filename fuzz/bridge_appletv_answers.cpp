// What an Apple TV or anything on the local network may send the bridge while it is being
// found: the TXT record of a DNS-SD answer (its strings here split at newlines); also the
// ORVEL_APPLETV_HOSTS setting.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "bridge/appletv/AppleTVHosts.hpp"
#include "bridge/appletv/TxtRecord.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // Each address the setting gives must be taken back as it is.
    const auto parsed = orvel::parseAppleTVHosts(input);
    if (const auto* hosts = std::get_if<std::vector<std::string>>(&parsed)) {
        for (const auto& hostPort : *hosts) {
            const auto again = orvel::parseAppleTVHosts(hostPort);
            const auto* same = std::get_if<std::vector<std::string>>(&again);
            if (!same || same->size() != 1 || same->front() != hostPort) std::abort();
        }
    }
    std::vector<std::string_view> entries;
    while (!input.empty()) {
        const auto newline = input.find('\n');
        entries.push_back(input.substr(0, newline));
        input = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
    }
    for (const auto& [key, value] : orvel::readTxtRecord(entries)) {
        if (key.empty()) std::abort();
        for (const char c : key) {
            if (c >= 'A' && c <= 'Z') std::abort();
        }
    }
    return 0;
}

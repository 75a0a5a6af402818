#pragma once
// AppleTVHosts: the ORVEL_APPLETV_HOSTS setting, read. Pure; any thread.
//
//   auto hosts = parseAppleTVHosts("192.168.1.30:49153, [fe80::1]:49154");

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvel {

// Comma-separated "ip:port" (IPv6 in brackets). The port is required: a TV picks its
// Companion port anew, so there is no default. Spaces around entries and empty entries are
// ignored. Returns "ip:port" texts without duplicates, or the sentence naming the bad entry.
std::variant<std::vector<std::string>, std::string> parseAppleTVHosts(std::string_view setting);

}  // namespace orvel

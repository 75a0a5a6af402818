#pragma once
// RokuHosts: the ORVEL_ROKU_HOSTS setting, read. Pure; any thread.
//
//   auto hosts = parseRokuHosts("192.168.1.20, [fe80::1]:8061");

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvel {

// Comma-separated "host[:port]" (port 8060 by default; IPv4 literals, or IPv6 literals in
// brackets); spaces around entries and empty entries are ignored. Returns "ip:port" texts
// without duplicates, or the sentence that says what is wrong with the setting.
std::variant<std::vector<std::string>, std::string> parseRokuHosts(std::string_view setting);

}  // namespace orvel

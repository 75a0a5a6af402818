#pragma once
// parseHostList: a setting that lists TVs by address instead of searching for them
// (ORVEL_ROKU_HOSTS, ORVEL_APPLETV_HOSTS), read. Pure; any thread.
//
//   auto hosts = parseHostList("192.168.1.20, [fe80::1]:8061", "ORVEL_ROKU_HOSTS", 8060);

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvel {

// Comma-separated "host[:port]" (IPv4 literals, or IPv6 literals in brackets); spaces around
// entries and empty entries are ignored. `defaultPort` 0: every entry must name its port.
// Returns "ip:port" texts without duplicates, or the sentence, naming `settingName` and the
// entry, that says what is wrong with the setting.
std::variant<std::vector<std::string>, std::string> parseHostList(std::string_view setting,
                                                                  std::string_view settingName,
                                                                  int defaultPort);

}  // namespace orvel

#include "bridge/roku/RokuHosts.hpp"

#include "bridge/net/HostList.hpp"

namespace orvel {

std::variant<std::vector<std::string>, std::string> parseRokuHosts(std::string_view setting) {
    constexpr int kRokuPort = 8060;
    return parseHostList(setting, "ORVEL_ROKU_HOSTS", kRokuPort);
}

}  // namespace orvel

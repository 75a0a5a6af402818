#include "bridge/appletv/AppleTVHosts.hpp"

#include "bridge/net/HostList.hpp"

namespace orvel {

std::variant<std::vector<std::string>, std::string> parseAppleTVHosts(std::string_view setting) {
    return parseHostList(setting, "ORVEL_APPLETV_HOSTS", 0);
}

}  // namespace orvel

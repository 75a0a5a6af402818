#include "bridge/net/HostList.hpp"

#include <algorithm>

#include "bridge/net/HostPort.hpp"

namespace orvel {

std::variant<std::vector<std::string>, std::string> parseHostList(std::string_view setting,
                                                                  std::string_view settingName,
                                                                  int defaultPort) {
    std::vector<std::string> hostPorts;
    while (!setting.empty()) {
        const auto comma = setting.find(',');
        const auto entry = HostPort::trim(setting.substr(0, comma));
        setting = comma == std::string_view::npos ? std::string_view() : setting.substr(comma + 1);
        if (entry.empty()) continue;

        std::string lists(settingName);
        lists.append(" lists \"").append(entry).append("\"");
        const auto parts = HostPort::split(entry);
        if (parts.unbracketedIpv6) {
            return lists.append(", an IPv6 address without brackets; write it as \"[")
                .append(entry)
                .append("]\".");
        }
        if (parts.ip.empty()) return lists + ", which is not an IP address.";
        int port = defaultPort;
        if (parts.hasPort) {
            port = HostPort::readPort(parts.portText);
            if (port == 0) return lists + ", whose port is not a number from 1 to 65535.";
        } else if (port == 0) {
            return lists.append(" without its port; write it as \"")
                .append(entry)
                .append(":port\".");
        }
        auto hostPort = parts.ip + ":" + std::to_string(port);
        if (std::find(hostPorts.begin(), hostPorts.end(), hostPort) == hostPorts.end()) {
            hostPorts.push_back(std::move(hostPort));
        }
    }
    return hostPorts;
}

}  // namespace orvel

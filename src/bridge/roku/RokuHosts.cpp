#include "bridge/roku/RokuHosts.hpp"

#include <algorithm>

#include "bridge/roku/HostPort.hpp"

namespace orvel {
namespace {

constexpr int kDefaultPort = 8060;
constexpr std::string_view kSettingName = "ORVEL_ROKU_HOSTS";

}  // namespace

std::variant<std::vector<std::string>, std::string> parseRokuHosts(std::string_view setting) {
    std::vector<std::string> hostPorts;
    while (!setting.empty()) {
        const auto comma = setting.find(',');
        const auto entry = HostPort::trim(setting.substr(0, comma));
        setting = comma == std::string_view::npos ? std::string_view() : setting.substr(comma + 1);
        if (entry.empty()) continue;

        const auto lists = std::string(kSettingName) + " lists \"" + std::string(entry) + "\"";
        const auto parts = HostPort::split(entry);
        if (parts.unbracketedIpv6) {
            return lists + ", an IPv6 address without brackets; write it as \"[" +
                   std::string(entry) + "]\".";
        }
        if (parts.ip.empty()) return lists + ", which is not an IP address.";
        int port = kDefaultPort;
        if (parts.hasPort) {
            port = HostPort::readPort(parts.portText);
            if (port == 0) return lists + ", whose port is not a number from 1 to 65535.";
        }
        auto hostPort = parts.ip + ":" + std::to_string(port);
        if (std::find(hostPorts.begin(), hostPorts.end(), hostPort) == hostPorts.end()) {
            hostPorts.push_back(std::move(hostPort));
        }
    }
    return hostPorts;
}

}  // namespace orvel

#include "bridge/roku/SsdpAnswer.hpp"

#include <algorithm>
#include <cctype>

#include "bridge/net/HostPort.hpp"

namespace orvel {
namespace {

bool sameTextIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// "ip:port" of an "http://ip[:port]/..." location; nothing for any other.
std::optional<std::string> readLocation(std::string_view location) {
    constexpr std::string_view kScheme = "http://";
    if (location.size() < kScheme.size() ||
        !sameTextIgnoringCase(location.substr(0, kScheme.size()), kScheme)) {
        return std::nullopt;
    }
    auto authority = location.substr(kScheme.size());
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const auto parts = HostPort::split(authority);
    if (parts.ip.empty()) return std::nullopt;
    // What HTTP means by a URL without a port (or with an empty one).
    int port = 80;
    if (parts.hasPort && !parts.portText.empty()) {
        port = HostPort::readPort(parts.portText);
        if (port == 0) return std::nullopt;
    }
    return parts.ip + ":" + std::to_string(port);
}

}  // namespace

std::optional<std::string> readSsdpRokuLocation(std::string_view datagram) {
    bool firstLine = true;
    bool isRoku = false;
    std::string_view location;
    while (!datagram.empty()) {
        const auto newline = datagram.find('\n');
        auto line = datagram.substr(0, newline);
        datagram =
            newline == std::string_view::npos ? std::string_view() : datagram.substr(newline + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (firstLine) {
            // "HTTP/1.1 200 OK"
            firstLine = false;
            if (!line.starts_with("HTTP/1.")) return std::nullopt;
            auto status = HostPort::trim(line.substr(std::min(line.find(' '), line.size())));
            if (status.substr(0, status.find(' ')) != "200") return std::nullopt;
            continue;
        }
        if (line.empty()) break;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const auto name = HostPort::trim(line.substr(0, colon));
        const auto value = HostPort::trim(line.substr(colon + 1));
        if (sameTextIgnoringCase(name, "ST") || sameTextIgnoringCase(name, "NT")) {
            isRoku = isRoku || sameTextIgnoringCase(value, kRokuSearchTarget);
        } else if (sameTextIgnoringCase(name, "LOCATION")) {
            location = value;
        }
    }
    if (!isRoku) return std::nullopt;
    return readLocation(location);
}

}  // namespace orvel

#include "bridge/net/HostPort.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>

namespace orvel::HostPort {
namespace {

// The canonical text of an IP literal, in brackets for IPv6 ("[::1]"); empty when `text`
// is no IP literal of `family`.
std::string canonicalIp(std::string_view text, int family) {
    std::array<unsigned char, sizeof(in6_addr)> address{};
    std::array<char, INET6_ADDRSTRLEN> canonical{};
    const std::string nulTerminated(text);
    if (inet_pton(family, nulTerminated.c_str(), address.data()) != 1) return {};
    if (!inet_ntop(family, address.data(), canonical.data(), canonical.size())) return {};
    return family == AF_INET6 ? "[" + std::string(canonical.data()) + "]"
                              : std::string(canonical.data());
}

}  // namespace

std::string_view trim(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

int readPort(std::string_view text) {
    if (text.empty() || text.size() > 5) return 0;
    int port = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return 0;
        port = port * 10 + (c - '0');
    }
    return port <= 65535 ? port : 0;
}

Parts split(std::string_view text) {
    Parts parts;
    std::string_view host = text;
    std::string_view rest;
    int family = AF_INET;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) return parts;
        host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        family = AF_INET6;
    } else if (std::count(text.begin(), text.end(), ':') > 1) {
        parts.unbracketedIpv6 = !canonicalIp(text, AF_INET6).empty();
        return parts;
    } else if (const auto colon = text.find(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        rest = text.substr(colon);
    }
    if (!rest.empty()) {
        if (rest.front() != ':') return parts;
        parts.hasPort = true;
        parts.portText = rest.substr(1);
    }
    parts.ip = canonicalIp(host, family);
    return parts;
}

}  // namespace orvel::HostPort

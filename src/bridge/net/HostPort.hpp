#pragma once
// HostPort: reading the "ip[:port]" texts that the hosts settings and SSDP answers carry. Only
// IP literals count (IPv6 in brackets), so no name is ever looked up. Pure; any thread.
//
//   auto parts = HostPort::split("[::1]:8061");   // parts.ip == "[::1]", parts.portText "8061"

#include <string>
#include <string_view>

namespace orvel::HostPort {

struct Parts {
    std::string ip;  // canonical; empty: not an IP literal
    std::string_view portText;
    bool hasPort = false;
    bool unbracketedIpv6 = false;  // "fe80::1": an IPv6 literal written without its brackets
};

// "a.b.c.d", "a.b.c.d:port", "[v6]" or "[v6]:port".
Parts split(std::string_view text);

// 1 to 65535 in plain digits; 0 for anything else.
int readPort(std::string_view text);

// `text` without the spaces, tabs and line ends around it.
std::string_view trim(std::string_view text);

}  // namespace orvel::HostPort

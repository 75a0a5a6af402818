#pragma once
// SsdpAnswer: what a datagram answering the Roku search says. Anyone on the network may send
// one, so anything unexpected reads as no answer. Pure; any thread.
//
//   if (auto hostPort = readSsdpRokuLocation(datagram)) ...;   // "192.168.1.20:8060"

#include <optional>
#include <string>
#include <string_view>

namespace orvel {

// The search target Roku devices answer to.
inline constexpr std::string_view kRokuSearchTarget = "roku:ecp";

// The "ip:port" of an SSDP answer from a Roku: its LOCATION header ("http://ip:port/") when
// the answer is an HTTP 200 whose ST (or NT) is the Roku search target; nothing otherwise.
// Header names are matched without regard to case.
std::optional<std::string> readSsdpRokuLocation(std::string_view datagram);

}  // namespace orvel

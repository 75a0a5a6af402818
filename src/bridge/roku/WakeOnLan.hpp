#pragma once
// WakeOnLan: turns on a device in deep standby, which answers nothing on the network until a
// "magic packet" (6 bytes 0xFF, then its MAC address 16 times) reaches its network card. The
// packet goes by UDP to port 9 of the broadcast address of the local network the device is on,
// or to the fixed address a test gives (ORVEL_WAKE_BROADCAST). Sending never blocks; any
// thread, though the bridge sends from its loop.
//
//   WakeOnLan wol;  // or WakeOnLan(WakeOnLan::parseDestination("127.0.0.1:9009").value())
//   if (auto sent = wol.send("192.168.1.20", {mac}); !sent) log(sent.error());

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.hpp"

namespace orvel {

class WakeOnLan {
public:
    using Mac = std::array<std::uint8_t, 6>;
    struct Network {
        std::uint32_t address = 0;  // IPv4, host byte order
        std::uint32_t netmask = 0;
    };

    WakeOnLan() = default;  // to the network of each device
    explicit WakeOnLan(sockaddr_in destination) : fixed_(destination) {}

    // "12:34:56:ab:cd:ef" or with dashes; nothing for anything else.
    static std::optional<Mac> parseMac(std::string_view text);
    static std::vector<std::uint8_t> magicPacket(const Mac& mac);
    // "a.b.c.d:port" (IPv4 only: there is no broadcast in IPv6); nothing for anything else.
    static std::optional<sockaddr_in> parseDestination(std::string_view text);
    // Where a packet for the device at `device` goes: the broadcast address of the network in
    // `networks` that contains it, the device itself when it is on loopback, else the limited
    // broadcast 255.255.255.255. Host byte order.
    static std::uint32_t broadcastFor(std::uint32_t device, std::span<const Network> networks);

    // One packet per MAC to where the device at `deviceIp` (an IP literal) can hear it.
    Result<void> send(const std::string& deviceIp, std::span<const Mac> macs) const;

private:
    std::optional<sockaddr_in> fixed_;
};

}  // namespace orvel

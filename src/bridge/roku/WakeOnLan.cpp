#include "bridge/roku/WakeOnLan.hpp"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cerrno>
#include <charconv>

#include "bridge/net/HostPort.hpp"
#include "platform/SystemError.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {
namespace {

constexpr int kDiscardPort = 9;
constexpr std::uint32_t kLoopbackNetwork = 0x7f000000, kLoopbackMask = 0xff000000;

Failure notSent() {
    return Failure{"The wake-up packet could not be sent (" + systemErrorText(errno) + ")."};
}

std::vector<WakeOnLan::Network> localNetworks() {
    std::vector<WakeOnLan::Network> networks;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return networks;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || !entry->ifa_netmask || entry->ifa_addr->sa_family != AF_INET ||
            !(entry->ifa_flags & IFF_UP))
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        const auto* netmask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        networks.push_back({ntohl(address->sin_addr.s_addr), ntohl(netmask->sin_addr.s_addr)});
    }
    ::freeifaddrs(list);
    return networks;
}

}  // namespace

std::optional<WakeOnLan::Mac> WakeOnLan::parseMac(std::string_view text) {
    text = HostPort::trim(text);
    if (text.size() != 17) return std::nullopt;
    Mac mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const char* start = text.data() + 3 * i;
        if (i > 0 && start[-1] != ':' && start[-1] != '-') return std::nullopt;
        const auto [end, error] = std::from_chars(start, start + 2, mac[i], 16);
        if (error != std::errc() || end != start + 2) return std::nullopt;
    }
    return mac;
}

std::vector<std::uint8_t> WakeOnLan::magicPacket(const Mac& mac) {
    std::vector<std::uint8_t> packet(6, 0xff);
    for (int copy = 0; copy < 16; ++copy) packet.insert(packet.end(), mac.begin(), mac.end());
    return packet;
}

std::optional<sockaddr_in> WakeOnLan::parseDestination(std::string_view text) {
    const auto parts = HostPort::split(HostPort::trim(text));
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    const int port = HostPort::readPort(parts.portText);
    if (!parts.hasPort || port == 0 ||
        ::inet_pton(AF_INET, parts.ip.c_str(), &destination.sin_addr) != 1)
        return std::nullopt;
    destination.sin_port = htons(static_cast<std::uint16_t>(port));
    return destination;
}

std::uint32_t WakeOnLan::broadcastFor(std::uint32_t device, std::span<const Network> networks) {
    // Loopback has no broadcast, and a packet meant for it must never leave the machine.
    if ((device & kLoopbackMask) == kLoopbackNetwork) return device;
    for (const Network& network : networks) {
        if (network.netmask == 0 || (network.address & kLoopbackMask) == kLoopbackNetwork) continue;
        if ((device & network.netmask) == (network.address & network.netmask))
            return network.address | ~network.netmask;
    }
    return INADDR_BROADCAST;
}

Result<void> WakeOnLan::send(const std::string& deviceIp, std::span<const Mac> macs) const {
    sockaddr_in destination{};
    if (fixed_) {
        destination = *fixed_;
    } else {
        in_addr device{};
        // An IPv6 device has no IPv4 network that we could tell; on loopback it stays there.
        const bool ipv4 = ::inet_pton(AF_INET, deviceIp.c_str(), &device) == 1;
        const std::uint32_t address = ipv4                  ? ntohl(device.s_addr)
                                      : deviceIp == "[::1]" ? INADDR_LOOPBACK
                                                            : INADDR_BROADCAST;
        destination.sin_family = AF_INET;
        destination.sin_port = htons(kDiscardPort);
        destination.sin_addr.s_addr = htonl(broadcastFor(address, localNetworks()));
    }
    const UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const int on = 1;
    if (!socket || ::setsockopt(socket.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return notSent();
    for (const Mac& mac : macs) {
        const auto packet = magicPacket(mac);
        if (::sendto(socket.get(), packet.data(), packet.size(), MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&destination), sizeof destination) < 0)
            return notSent();
    }
    return {};
}

}  // namespace orvel

#pragma once
// RokuDiscovery: where Roku devices answer on the network, as "ip:port" texts. Either the
// fixed list of ORVEL_ROKU_HOSTS (no packet is sent to find them), or an SSDP search on the
// local network. The backend then asks each address for its device-info. Loop thread only.
//
//   auto pending = discovery.search([](std::vector<std::string> hostPorts) { ... });
//
// `done` runs exactly once on the loop thread, never from inside search(), unless the
// returned handle is cancelled or destroyed first. Addresses come without duplicates.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/MainLoop.hpp"
#include "platform/PollLoop.hpp"

namespace orvel {

using HostPortsDone = std::function<void(std::vector<std::string> hostPorts)>;

class RokuDiscovery {
public:
    virtual ~RokuDiscovery() = default;
    [[nodiscard]] virtual CancelHandle search(HostPortsDone done) = 0;
};

// Reads ORVEL_ROKU_HOSTS: comma-separated "host[:port]" (port 8060 by default; IPv4 literals,
// or IPv6 literals in brackets); spaces around entries and empty entries are ignored. Returns
// "ip:port" texts, or the sentence that says what is wrong with the setting.
std::variant<std::vector<std::string>, std::string> parseRokuHosts(std::string_view setting);

// The "ip:port" of an SSDP answer from a Roku: its LOCATION header ("http://ip:port/") when
// the answer is an HTTP 200 whose ST (or NT) is "roku:ecp"; nothing otherwise. Header names
// are matched without regard to case.
std::optional<std::string> readSsdpRokuLocation(std::string_view datagram);

class FixedRokuHosts final : public RokuDiscovery {
public:
    FixedRokuHosts(MainLoop& loop, std::vector<std::string> hostPorts);
    [[nodiscard]] CancelHandle search(HostPortsDone done) override;

private:
    MainLoop& loop_;
    std::vector<std::string> hostPorts_;
};

// Sends "M-SEARCH * HTTP/1.1" with "ST: roku:ecp" and "MX: 2" from a fresh UDP socket to
// `target` (239.255.255.250:1900 on a real network; a loopback address in tests), and again a
// quarter of the window later (datagrams get lost); collects the answers for `window` seconds
// and completes with their locations in the order they came. An answer whose location is not
// the address it came from is ignored, and so is any after the first from one address; at most
// 32 addresses are kept. A socket that cannot be opened or a send that fails completes with no
// addresses.
class SsdpRokuDiscovery final : public RokuDiscovery {
public:
    struct Options {
        std::string targetHost = "239.255.255.250";
        int targetPort = 1900;
        double window = 2.0;
    };
    SsdpRokuDiscovery(PollLoop& loop, Options options);
    ~SsdpRokuDiscovery() override;
    [[nodiscard]] CancelHandle search(HostPortsDone done) override;

private:
    struct Search;
    PollLoop& loop_;
    Options options_;
};

}  // namespace orvel

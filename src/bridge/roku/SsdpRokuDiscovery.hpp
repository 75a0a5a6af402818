#pragma once
// SsdpRokuDiscovery: finds Rokus by an SSDP search on the local network. Owned by the
// RokuBackend; loop thread only. Each search has its own socket, closed when it completes or
// is cancelled; the discovery itself holds nothing between searches.
//
// Sends "M-SEARCH * HTTP/1.1" with "ST: roku:ecp" and "MX: 2" from a fresh UDP socket to
// `target` (239.255.255.250:1900 on a real network; a loopback address in tests), and again a
// quarter of the window later (datagrams get lost); collects the answers for `window` seconds
// and completes with their locations in the order they came. An answer whose location is not
// the address it came from is ignored, and so is any after the first from one address; at most
// 32 addresses are kept. A socket that cannot be opened or a send that fails completes with no
// addresses.

#include <string>

#include "bridge/roku/RokuDiscovery.hpp"
#include "platform/PollLoop.hpp"

namespace orvel {

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

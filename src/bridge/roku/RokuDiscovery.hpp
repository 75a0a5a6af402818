#pragma once
// RokuDiscovery: where Roku devices answer on the network, as "ip:port" texts. Either the
// fixed list of ORVEL_ROKU_HOSTS (FixedRokuHosts: no packet is sent to find them), or an SSDP
// search on the local network (SsdpRokuDiscovery). The backend then asks each address for its
// device-info. Loop thread only.
//
//   auto pending = discovery.search([](std::vector<std::string> hostPorts) { ... });
//
// `done` runs exactly once on the loop thread, never from inside search(), unless the
// returned handle is cancelled or destroyed first. Addresses come without duplicates.

#include <functional>
#include <string>
#include <vector>

#include "platform/MainLoop.hpp"

namespace orvel {

using HostPortsDone = std::function<void(std::vector<std::string> hostPorts)>;

class RokuDiscovery {
public:
    virtual ~RokuDiscovery() = default;
    [[nodiscard]] virtual CancelHandle search(HostPortsDone done) = 0;
};

}  // namespace orvel

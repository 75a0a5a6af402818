#pragma once
// FixedRokuHosts: the discovery for ORVEL_ROKU_HOSTS: every search completes with the listed
// addresses, on the next loop turn, and no packet is sent. Owned by the RokuBackend; loop
// thread only.

#include <string>
#include <vector>

#include "bridge/roku/RokuDiscovery.hpp"

namespace orvel {

class FixedRokuHosts final : public RokuDiscovery {
public:
    FixedRokuHosts(MainLoop& loop, std::vector<std::string> hostPorts);
    [[nodiscard]] CancelHandle search(HostPortsDone done) override;

private:
    MainLoop& loop_;
    std::vector<std::string> hostPorts_;
};

}  // namespace orvel

#pragma once
// FixedAppleTVHosts: the discovery for ORVEL_APPLETV_HOSTS: every search completes with the
// listed addresses, on the next loop turn, and nothing is sent. A TV listed so has no name
// and no TXT record here; who it is becomes known when it is connected to. Owned by the
// backend; loop thread only.

#include <string>
#include <vector>

#include "bridge/appletv/AppleTVDiscovery.hpp"

namespace orvel {

class FixedAppleTVHosts final : public AppleTVDiscovery {
public:
    // `hostPorts` as parseAppleTVHosts gives them.
    FixedAppleTVHosts(MainLoop& loop, const std::vector<std::string>& hostPorts);
    [[nodiscard]] CancelHandle search(AppleTVsFound done) override;

private:
    MainLoop& loop_;
    std::vector<FoundAppleTV> tvs_;
};

}  // namespace orvel

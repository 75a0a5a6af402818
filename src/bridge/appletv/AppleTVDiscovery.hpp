#pragma once
// AppleTVDiscovery: which Apple TVs answer on the network, and where their Companion service
// listens. Either the fixed list of ORVEL_APPLETV_HOSTS (FixedAppleTVHosts: nothing is sent
// to find them), or DNS-SD through the Avahi daemon (CompanionBrowser). Loop thread only.
//
//   auto pending = discovery.search([](AppleTVScan scan) { ... });
//
// `done` runs exactly once on the loop thread, never from inside search(), unless the
// returned handle is cancelled or destroyed first.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/MainLoop.hpp"

namespace orvel {

struct FoundAppleTV {
    std::string name;     // the service name, which is the TV's name; empty when listed by address
    std::string address;  // IP literal, IPv6 in brackets
    int port = 0;         // the Companion port: it changes, so it is always taken from the answer
    std::map<std::string, std::string> txt;  // keys lower-cased; empty when listed by address
};

struct AppleTVScan {
    std::vector<FoundAppleTV> tvs;
    // Why the list may be short (no Avahi daemon, for one), in words for the scan reply.
    std::optional<std::string> notice;
};

using AppleTVsFound = std::function<void(AppleTVScan scan)>;

class AppleTVDiscovery {
public:
    virtual ~AppleTVDiscovery() = default;
    [[nodiscard]] virtual CancelHandle search(AppleTVsFound done) = 0;
};

}  // namespace orvel

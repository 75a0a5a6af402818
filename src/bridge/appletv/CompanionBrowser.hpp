#pragma once
// CompanionBrowser: finds Apple TVs by browsing DNS-SD for "_companion-link._tcp" through the
// Avahi daemon, on the bridge's own loop (AvahiLoopPoll). Owned by the backend; loop thread
// only. Each search has its own Avahi client, freed when it completes or its window ends; the
// browser holds nothing between searches.
//
//   auto pending = browser.find(2.0, [](AppleTVScan scan) { ... });
//
// Resolves every service seen within the window and completes, at the end of the window, with
// one entry per service name (an IPv4 address when the TV has one; link-local IPv6 addresses
// are left out, since they cannot be reached without their interface), at most 32. Without
// the daemon or the system bus the completion comes on the next loop turn with no TVs and a
// notice saying so; a daemon that goes away during the window ends it early the same way.
// Connecting to the daemon asks it a few questions over D-Bus, briefly blocking the loop.

#include "bridge/appletv/AppleTVDiscovery.hpp"
#include "platform/PollLoop.hpp"

namespace orvel {

class CompanionBrowser final : public AppleTVDiscovery {
public:
    // `window`: how long search() collects answers.
    explicit CompanionBrowser(PollLoop& loop, double window = 2.0);
    ~CompanionBrowser() override;

    [[nodiscard]] CancelHandle find(double seconds, AppleTVsFound done);
    [[nodiscard]] CancelHandle search(AppleTVsFound done) override;

private:
    struct Search;
    PollLoop& loop_;
    double window_;
};

}  // namespace orvel

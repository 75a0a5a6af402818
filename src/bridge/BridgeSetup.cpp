#include "bridge/BridgeSetup.hpp"

#include <string_view>

#include "bridge/appletv/AppleTVBackend.hpp"
#include "bridge/appletv/AppleTVHosts.hpp"
#include "bridge/appletv/CompanionBrowser.hpp"
#include "bridge/appletv/FixedAppleTVHosts.hpp"
#include "bridge/http/CurlTransport.hpp"
#include "bridge/protocol/CombinedBackend.hpp"
#include "bridge/protocol/RefusingBackend.hpp"
#include "bridge/roku/FixedRokuHosts.hpp"
#include "bridge/roku/RokuBackend.hpp"
#include "bridge/roku/RokuHosts.hpp"
#include "bridge/roku/SsdpRokuDiscovery.hpp"
#include "bridge/roku/WakeOnLan.hpp"
#include "bridge/sim/Household.hpp"
#include "bridge/sim/SimBackend.hpp"

namespace orvel {

namespace {

// The Apple TV backend, or the sentence why ORVEL_APPLETV_HOSTS cannot be used.
std::variant<std::unique_ptr<Backend>, std::string> appleTVBackend(
    const BridgeSetup::Settings& settings, PollLoop& loop) {
    std::unique_ptr<AppleTVDiscovery> discovery;
    if (settings.appleTVHosts) {
        auto hosts = parseAppleTVHosts(settings.appleTVHosts);
        if (auto* error = std::get_if<std::string>(&hosts)) return std::move(*error);
        discovery =
            std::make_unique<FixedAppleTVHosts>(loop, std::get<std::vector<std::string>>(hosts));
    } else {
        discovery = std::make_unique<CompanionBrowser>(loop);
    }
    return std::make_unique<AppleTVBackend>(loop, std::move(discovery), settings.stateFolder);
}

}  // namespace

std::variant<BridgeSetup, std::string> BridgeSetup::choose(const Settings& settings,
                                                           PollLoop& loop) {
    const char* rokuHosts = settings.rokuHosts;
    const char* wakeBroadcast = settings.wakeBroadcast;
    const char* commandLog = settings.commandLog;
    const std::string_view setting = settings.simulate ? settings.simulate : "";
    if (!setting.empty()) {
        auto loaded = setting == "1" ? Household::builtIn() : Household::load(std::string(setting));
        if (auto* error = std::get_if<std::string>(&loaded)) return *error;
        auto& household = std::get<Household>(loaded);
        return BridgeSetup{std::make_unique<SimBackend>(loop, std::move(household.tvs),
                                                        commandLog ? commandLog : ""),
                           std::move(household.faults)};
    }

    // A setting that cannot be used makes every request say so, rather than half the TVs vanish.
    auto appleTV = appleTVBackend(settings, loop);
    if (auto* error = std::get_if<std::string>(&appleTV)) {
        return BridgeSetup{std::make_unique<RefusingBackend>(std::move(*error)), {}};
    }
    RokuOptions options;
    std::unique_ptr<RokuDiscovery> discovery;
    if (rokuHosts) {
        auto hosts = parseRokuHosts(rokuHosts);
        if (auto* error = std::get_if<std::string>(&hosts)) {
            return BridgeSetup{std::make_unique<RefusingBackend>(std::move(*error)), {}};
        }
        discovery = std::make_unique<FixedRokuHosts>(
            loop, std::move(std::get<std::vector<std::string>>(hosts)));
    } else {
        discovery = std::make_unique<SsdpRokuDiscovery>(loop, SsdpRokuDiscovery::Options{});
    }
    WakeOnLan wakeOnLan;
    if (wakeBroadcast && *wakeBroadcast) {
        const auto destination = WakeOnLan::parseDestination(wakeBroadcast);
        if (!destination) {
            return BridgeSetup{std::make_unique<RefusingBackend>(
                                   "ORVEL_WAKE_BROADCAST must be an IPv4 address and port, such as "
                                   "127.0.0.1:9009."),
                               {}};
        }
        wakeOnLan = WakeOnLan(*destination);
    }
    auto transport = std::make_unique<CurlTransport>(
        loop, CurlTransport::Options{.connectTimeout = 2.0, .requestTimeout = options.httpTimeout});
    auto roku = std::make_unique<RokuBackend>(loop, std::move(transport), std::move(discovery),
                                              options, wakeOnLan);
    return BridgeSetup{std::make_unique<CombinedBackend>(
                           std::move(roku), std::move(std::get<std::unique_ptr<Backend>>(appleTV))),
                       {}};
}

}  // namespace orvel

#include "bridge/BridgeSetup.hpp"

#include <string_view>

#include "bridge/http/CurlTransport.hpp"
#include "bridge/protocol/RefusingBackend.hpp"
#include "bridge/roku/FixedRokuHosts.hpp"
#include "bridge/roku/RokuBackend.hpp"
#include "bridge/roku/RokuHosts.hpp"
#include "bridge/roku/SsdpRokuDiscovery.hpp"
#include "bridge/roku/WakeOnLan.hpp"
#include "bridge/sim/Household.hpp"
#include "bridge/sim/SimBackend.hpp"

namespace orvel {

std::variant<BridgeSetup, std::string> BridgeSetup::choose(const char* simulate,
                                                           const char* rokuHosts, PollLoop& loop,
                                                           const char* wakeBroadcast,
                                                           const char* commandLog) {
    const std::string_view setting = simulate ? simulate : "";
    if (!setting.empty()) {
        auto loaded = setting == "1" ? Household::builtIn() : Household::load(std::string(setting));
        if (auto* error = std::get_if<std::string>(&loaded)) return *error;
        auto& household = std::get<Household>(loaded);
        return BridgeSetup{std::make_unique<SimBackend>(loop, std::move(household.tvs),
                                                        commandLog ? commandLog : ""),
                           std::move(household.faults)};
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
    return BridgeSetup{std::make_unique<RokuBackend>(loop, std::move(transport),
                                                     std::move(discovery), options, wakeOnLan),
                       {}};
}

}  // namespace orvel

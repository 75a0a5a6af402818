#pragma once
// BridgeHarness: the simulated household behind a Dispatcher on a ManualLoop. Test thread only.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "BridgeLines.hpp"
#include "bridge/Dispatcher.hpp"
#include "bridge/Household.hpp"
#include "bridge/SimBackend.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel::test {

using nlohmann::json;

class BridgeHarness : public BridgeLines {
public:
    explicit BridgeHarness(Household household = Household::builtIn()) {
        auto backend = std::make_unique<SimBackend>(loop, std::move(household.tvs));
        sim = backend.get();
        dispatcher =
            Dispatcher::create(loop, std::move(backend), std::move(household.faults), output());
    }

    json pairAndConnect(const std::string& device) {
        json credentials = json::object();
        for (const auto& protocol : sim->tv(device)->config().protocols) {
            credentials[protocol] = SimBackend::credentialFor(sim->tv(device)->config(), protocol);
        }
        return call({{"op", "connect"}, {"device", device}, {"credentials", credentials}});
    }

    ManualLoop loop;
    SimBackend* sim = nullptr;
};

}  // namespace orvel::test

#pragma once
// BridgeClient: the session's transport to the real TV bridge, a child process found by
// BridgeLocation at every start and driven through the core's ProcessBridgeClient.
//
//   auto bridge = std::make_unique<BridgeClient>(loop);   // starts nothing yet
//
// Owned by AppStore; loop thread only. Destruction stops the bridge quietly (stdin closed,
// SIGTERM after 2 s, SIGKILL after 4 s, on the loop's timers); the loop must outlive it.

#include <functional>

#include "core/ProcessBridgeClient.hpp"
#include "session/BridgeLocation.hpp"
#include "session/BridgeTransport.hpp"

namespace orvel {

class BridgeClient final : public BridgeTransport {
public:
    using InputsSource = std::function<BridgeLocation::Inputs()>;

    // `inputs` says where to look for the bridge; tests pass their own directory and variables.
    explicit BridgeClient(MainLoop& loop, InputsSource inputs = BridgeLocation::processInputs);

    void setOnEvent(EventHandler handler) override;
    void setOnFailure(FailureHandler handler) override;
    std::optional<std::string> start() override;
    void stop() override;
    void request(const std::string& op, const nlohmann::json& fields, double timeout,
                 Completion completion) override;

private:
    ProcessBridgeClient client_;
};

}  // namespace orvel

#pragma once
// BridgeSetup: which backend and which fault script the bridge runs with, chosen from the
// environment. ORVEL_SIMULATE "1" -> the built-in household; any other non-empty text -> the
// path of a household file; unset or empty -> real Roku TVs, found by SSDP, or only at the
// addresses of ORVEL_ROKU_HOSTS when that is set (even empty: then no search at all). Built
// once by main() on the loop thread; the parts are handed to the Dispatcher.

#include <memory>
#include <string>
#include <variant>

#include "bridge/protocol/Backend.hpp"
#include "bridge/protocol/FaultScript.hpp"
#include "platform/PollLoop.hpp"

namespace orvel {

struct BridgeSetup {
    std::unique_ptr<Backend> backend;
    FaultScript faults;

    // `simulate`, `rokuHosts` and `wakeBroadcast` (ORVEL_WAKE_BROADCAST: "ip:port" where
    // wake-up packets go instead of the TV's network) are the variables' values, null when
    // unset. On failure (a household file that cannot be used) returns the sentence to report.
    // A host list or wake address that cannot be used gives a backend that answers every
    // request with what is wrong with it.
    // `commandLog` (ORVEL_SIMULATE_LOG): a file where the simulated TVs note each command
    // they perform, for tests that drive the app as a user would.
    static std::variant<BridgeSetup, std::string> choose(const char* simulate,
                                                         const char* rokuHosts, PollLoop& loop,
                                                         const char* wakeBroadcast = nullptr,
                                                         const char* commandLog = nullptr);
};

}  // namespace orvel

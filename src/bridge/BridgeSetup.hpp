#pragma once
// BridgeSetup: which backend and which fault script the bridge runs with, chosen from the
// environment. ORVEL_SIMULATE "1" -> the built-in household; any other non-empty text -> the
// path of a household file; unset or empty -> real TVs: Roku TVs found by SSDP, or only at the
// addresses of ORVEL_ROKU_HOSTS when that is set (even empty: then no search at all), and
// Apple TVs found by DNS-SD, or only at those of ORVEL_APPLETV_HOSTS likewise. Built
// once by main() on the loop thread; the parts are handed to the Dispatcher.

#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "bridge/protocol/Backend.hpp"
#include "bridge/protocol/FaultScript.hpp"
#include "platform/PollLoop.hpp"

namespace orvel {

struct BridgeSetup {
    std::unique_ptr<Backend> backend;
    FaultScript faults;

    // The environment's settings, each null when unset.
    struct Settings {
        const char* simulate = nullptr;
        const char* rokuHosts = nullptr;
        // ORVEL_APPLETV_HOSTS: "ip:port" of Apple TVs to reach instead of a DNS-SD search.
        const char* appleTVHosts = nullptr;
        // ORVEL_WAKE_BROADCAST: "ip:port" where wake-up packets go instead of the TV's network.
        const char* wakeBroadcast = nullptr;
        // ORVEL_SIMULATE_LOG: a file where the simulated TVs note each command they perform,
        // for tests that drive the app as a user would.
        const char* commandLog = nullptr;
        // Where this installation keeps what it must remember across runs (its Apple TV
        // client identifier); none when no folder is known.
        std::optional<std::string> stateFolder;
    };

    // On failure (a household file that cannot be used) returns the sentence to report. A
    // host list or wake address that cannot be used gives a backend that answers every
    // request with what is wrong with it.
    static std::variant<BridgeSetup, std::string> choose(const Settings& settings, PollLoop& loop);
};

}  // namespace orvel

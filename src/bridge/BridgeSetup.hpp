#pragma once
// BridgeSetup: which backend and which fault script the bridge runs with, chosen from the
// ORVEL_SIMULATE setting: unset or empty -> no simulation (no real-TV backend exists yet),
// "1" -> the built-in household, anything else -> the path of a household file. Built once by
// main() on the loop thread; the parts are handed to the Dispatcher.

#include <memory>
#include <string>
#include <variant>

#include "bridge/Backend.hpp"
#include "bridge/FaultScript.hpp"
#include "platform/MainLoop.hpp"

namespace orvel {

struct BridgeSetup {
    std::unique_ptr<Backend> backend;
    FaultScript faults;

    // On failure (a household file that cannot be used) returns the sentence to report.
    static std::variant<BridgeSetup, std::string> fromSimulate(const char* simulate,
                                                               MainLoop& loop);
};

}  // namespace orvel

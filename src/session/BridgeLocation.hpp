#pragma once
// BridgeLocation: which program to run as the TV bridge. In order: "OrvelBridge" beside the
// running program, then "../libexec/orvel-remote/OrvelBridge" from there (an installed tree),
// then the interpreter in ORVEL_PYTHON running the script in ORVEL_BRIDGE unbuffered (a
// development arrangement). Evaluated afresh at every start of the bridge.
//
//   auto found = BridgeLocation::locate(BridgeLocation::processInputs());
//
// locate() is pure apart from checking files; processInputs() reads /proc/self/exe and the
// environment. Loop thread (it reads getenv).

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvel::BridgeLocation {

inline constexpr std::string_view kMissingMessage =
    "The TV helper is missing. Build the app with Scripts/build-app.";

struct Inputs {
    std::string executableDirectory;    // where the running program lives; empty: unknown
    std::optional<std::string> python;  // ORVEL_PYTHON
    std::optional<std::string> script;  // ORVEL_BRIDGE
};

struct Command {
    std::string executable;
    std::vector<std::string> arguments;  // without argv[0]
    bool operator==(const Command&) const = default;
};

// The command to run, or kMissingMessage.
std::variant<Command, std::string> locate(const Inputs& inputs);

// The directory of /proc/self/exe (empty when unreadable) and the two variables.
Inputs processInputs();

}  // namespace orvel::BridgeLocation

#pragma once
// ControlCommand: the grammar of the `orvel` command line. Turns the arguments after the
// program name into one control request (the JSON object sent over the control socket) and
// the --json flag, or into a usage message; also owns the help text.
//
//   auto result = ControlCommand::parse({"--tv", "kitchen", "up", "3"});
//   if (auto* usage = std::get_if<ControlCommand::Usage>(&result)) { ... usage->message ... }
//   // else std::get<ControlCommand::Parsed>(result).request ==
//   //   {"tv": "kitchen", "command": "press", "action": "up", "count": 3}
//
// Pure: no side effects, never throws; usable from any thread. "-h", "--help" and "help"
// are not part of the grammar: the tool checks for them before calling parse.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace orvel::ControlCommand {

struct Parsed {
    nlohmann::json request;  // always an object with a "command"
    bool json = false;       // print the raw reply; never part of the request
    bool operator==(const Parsed&) const = default;
};

// A rejected command line: one complete sentence for the user, without the tool's
// "orvel: " prefix and " Run orvel --help." suffix.
struct Usage {
    std::string message;
    bool operator==(const Usage&) const = default;
};

using Result = std::variant<Parsed, Usage>;

Result parse(const std::vector<std::string>& arguments);

// The 22-line help text, no line feed after the last line.
std::string_view help();

}  // namespace orvel::ControlCommand

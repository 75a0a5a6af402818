#include "core/ControlCommand.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <system_error>

#include "core/ControlVerb.hpp"
#include "core/RemoteAction.hpp"

namespace orvel::ControlCommand {
namespace {

constexpr std::string_view kHelp =
    "orvel \u2014 control the TV Orvel Remote is connected to.\n"
    "\n"
    "usage: orvel [--tv NAME] [--json] COMMAND\n"
    "\n"
    "  tvs                    list paired TVs (* selected, \u25B6 playing)\n"
    "  status                 what the TV is doing\n"
    "  nowplaying             what's playing: title, artist, app, position (--json for other "
    "apps)\n"
    "  watch                  a line each time what's playing changes, until stopped (--json: "
    "one object per line)\n"
    "  open                   show the remote\n"
    "  apps                   list the TV's apps (and, on Roku TVs, inputs)\n"
    "  launch APP             open an app by name (a unique prefix works), e.g. launch netflix\n"
    "  type TEXT              type into the TV's text field\n"
    "  play-pause | play | pause | next | previous | skip-forward | skip-back\n"
    "  up | down | left | right [N] | ok | back | home\n"
    "  volume-up | volume-down [N] | mute | wake | sleep\n"
    "  power                  toggle: sleep if the TV is on, wake it if it's off\n"
    "\n"
    "  --tv NAME   address a paired TV by the name Orvel shows (a unique prefix works);\n"
    "              without it, commands go to the TV selected in Orvel\n"
    "  --json      print Orvel's raw JSON response, for scripts and other apps\n"
    "\n"
    "Orvel Remote must be running. Exit status: 0 ok, 1 failed, 2 usage, 3 Orvel isn't "
    "running.";

// Commands that take no words after them, and the "command" each one sends.
struct PlainCommand {
    std::string_view verb;
    std::string_view command;
};
constexpr std::array<PlainCommand, 8> kPlainCommands = {{
    {"tvs", "tvs"},
    {"status", "status"},
    {"open", "open"},
    {"apps", "apps"},
    {"nowplaying", "nowplaying"},
    {"now-playing", "nowplaying"},
    {"watch", "watch"},
    {"power", "power"},
}};

// Commands that send their remaining words, joined by single spaces, under a key.
struct TextCommand {
    std::string_view verb;
    std::string_view key;
    std::string_view missing;
};
constexpr std::array<TextCommand, 2> kTextCommands = {{
    {"launch", "app", "launch needs an app name, e.g. orvel launch netflix."},
    {"type", "text", "type needs text, e.g. orvel type \"the bear\"."},
}};

// A signed 64-bit decimal: optional '+' or '-', then digits only. No spaces; a value out
// of range is no number.
std::optional<std::int64_t> toInt64(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::size_t digits = text.front() == '-' ? 1 : 0;
    if (digits == text.size() || text[digits] < '0' || text[digits] > '9') return std::nullopt;
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string joined(const std::vector<std::string>& words, std::size_t from) {
    std::string text;
    for (std::size_t i = from; i < words.size(); ++i) {
        if (i > from) text += ' ';
        text += words[i];
    }
    return text;
}

struct Scan {
    std::optional<std::string> tv;
    bool json = false;
    std::vector<std::string> words;
};

std::variant<Scan, Usage> scanOptions(const std::vector<std::string>& arguments) {
    constexpr std::string_view kTvPrefix = "--tv=";
    Scan scan;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--tv" || argument == "-t") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                return Usage{"--tv needs a TV name."};
            }
            scan.tv = arguments[++i];
        } else if (argument == "--json") {
            scan.json = true;
        } else if (argument == "--") {
            scan.words.insert(scan.words.end(), arguments.begin() + static_cast<long>(i) + 1,
                              arguments.end());
            break;
        } else if (argument.starts_with(kTvPrefix)) {
            scan.tv = argument.substr(kTvPrefix.size());
        } else if (argument.starts_with('-') && scan.words.empty()) {
            return Usage{"Unknown option " + argument + "."};
        } else {
            scan.words.push_back(argument);
        }
    }
    return scan;
}

// The request for the words, or the usage message; `request` already holds "tv".
std::optional<Usage> dispatch(const std::vector<std::string>& words, nlohmann::json& request) {
    if (words.empty()) return Usage{"Name a command."};
    const std::string& verb = words.front();
    const bool hasRest = words.size() > 1;

    for (const PlainCommand& plain : kPlainCommands) {
        if (verb != plain.verb) continue;
        if (hasRest) return Usage{verb + " takes no arguments."};
        request["command"] = plain.command;
        return std::nullopt;
    }
    for (const TextCommand& text : kTextCommands) {
        if (verb != text.verb) continue;
        if (!hasRest) return Usage{std::string(text.missing)};
        request["command"] = text.verb;
        request[std::string(text.key)] = joined(words, 1);
        return std::nullopt;
    }
    if (auto action = ControlVerb::action(verb)) {
        std::int64_t count = 1;
        if (hasRest) {
            const bool repeatable = ControlVerb::isRepeatable(verb);
            auto n = words.size() == 2 && repeatable ? toInt64(words[1]) : std::nullopt;
            if (!n || *n < 1 || *n > ControlVerb::kMaxRepeat) {
                if (!repeatable) return Usage{verb + " takes no arguments."};
                return Usage{verb + " takes an optional count from 1 to " +
                             std::to_string(ControlVerb::kMaxRepeat) + "."};
            }
            count = *n;
        }
        request["command"] = "press";
        request["action"] = rawValue(*action);
        request["count"] = count;
        return std::nullopt;
    }
    return Usage{"Unknown command " + verb + "."};
}

}  // namespace

Result parse(const std::vector<std::string>& arguments) {
    auto scanned = scanOptions(arguments);
    if (auto* usage = std::get_if<Usage>(&scanned)) return std::move(*usage);
    auto& scan = std::get<Scan>(scanned);

    Parsed parsed{nlohmann::json::object(), scan.json};
    if (scan.tv) parsed.request["tv"] = *scan.tv;
    if (auto usage = dispatch(scan.words, parsed.request)) return std::move(*usage);
    return parsed;
}

std::string_view help() {
    return kHelp;
}

}  // namespace orvel::ControlCommand

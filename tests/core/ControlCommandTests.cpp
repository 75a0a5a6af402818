#include "core/ControlCommand.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using nlohmann::json;

// Either outcome as text, so a failing row shows what came out instead.
std::string outcome(const ControlCommand::Result& result) {
    if (const auto* usage = std::get_if<ControlCommand::Usage>(&result)) {
        return "usage: " + usage->message;
    }
    const auto& parsed = std::get<ControlCommand::Parsed>(result);
    return (parsed.json ? "json " : "") + parsed.request.dump();
}

struct Accepted {
    std::vector<std::string> arguments;
    json request;
    bool printJson = false;
};

TEST(ControlCommand, ParsesCommandLinesIntoRequests) {
    const std::vector<Accepted> table = {
        {{"tvs"}, {{"command", "tvs"}}},
        {{"now-playing"}, {{"command", "nowplaying"}}},
        {{"nowplaying", "--json"}, {{"command", "nowplaying"}}, true},
        {{"--tv=", "status"}, {{"command", "status"}, {"tv", ""}}},
        {{"--tv", "a", "--tv", "b", "tvs"}, {{"command", "tvs"}, {"tv", "b"}}},
        {{"-t", "Living Room", "power"}, {{"command", "power"}, {"tv", "Living Room"}}},
        {{"watch", "--tv=kit"}, {{"command", "watch"}, {"tv", "kit"}}},
        {{"ok"}, {{"command", "press"}, {"action", "select"}, {"count", 1}}},
        {{"play-pause"}, {{"command", "press"}, {"action", "playPause"}, {"count", 1}}},
        {{"skip-back"}, {{"command", "press"}, {"action", "skipBackward"}, {"count", 1}}},
        {{"up", "20"}, {{"command", "press"}, {"action", "up"}, {"count", 20}}},
        {{"volume-down", "1"}, {{"command", "press"}, {"action", "volumeDown"}, {"count", 1}}},
        {{"type", "hello", "world"}, {{"command", "type"}, {"text", "hello world"}}},
        {{"type", "two  spaces"}, {{"command", "type"}, {"text", "two  spaces"}}},
        {{"type", "--", "--json"}, {{"command", "type"}, {"text", "--json"}}},
        {{"type", "--json", "hi"}, {{"command", "type"}, {"text", "hi"}}, true},
        {{"type", "-5"}, {{"command", "type"}, {"text", "-5"}}},
        {{"type", "a", "--tv", "k", "b"}, {{"command", "type"}, {"text", "a b"}, {"tv", "k"}}},
        {{"launch", "Disney", "Plus"}, {{"command", "launch"}, {"app", "Disney Plus"}}},
        {{"--", "launch", "-x"}, {{"command", "launch"}, {"app", "-x"}}},
    };
    for (const auto& row : table) {
        EXPECT_EQ(outcome(ControlCommand::parse(row.arguments)),
                  outcome(ControlCommand::Parsed{row.request, row.printJson}))
            << json(row.arguments).dump();
    }
}

TEST(ControlCommand, CountIsASigned64BitDecimalFrom1To20) {
    const std::vector<std::pair<std::string, int>> accepted = {
        {"+3", 3}, {"03", 3}, {"3", 3}, {"0000000000000000000000000020", 20}, {"+1", 1}};
    for (const auto& [count, expected] : accepted) {
        json request = {{"command", "press"}, {"action", "left"}, {"count", expected}};
        EXPECT_EQ(outcome(ControlCommand::parse({"left", count})),
                  outcome(ControlCommand::Parsed{request, false}))
            << count;
    }
    const std::string rejection = "left takes an optional count from 1 to 20.";
    for (const char* count :
         {" 3", "3 ", "0", "21", "-3", "-0", "two", "", "+", "-", "++3", "+-3", "3.0", "0x3",
          "9223372036854775807", "9223372036854775808", "-9223372036854775809",
          "18446744073709551617", "\xD9\xA3" /* ARABIC-INDIC DIGIT THREE */}) {
        EXPECT_EQ(outcome(ControlCommand::parse({"left", count})), "usage: " + rejection) << count;
    }
}

TEST(ControlCommand, RejectsWithTheUsageSentence) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> table = {
        {{}, "Name a command."},
        {{"--json"}, "Name a command."},
        {{"--tv", "x"}, "Name a command."},
        {{"--tv"}, "--tv needs a TV name."},
        {{"status", "-t"}, "--tv needs a TV name."},
        {{"--tv", "", "status"}, "--tv needs a TV name."},
        {{"-x", "tvs"}, "Unknown option -x."},
        {{"-h"}, "Unknown option -h."},
        {{"--help"}, "Unknown option --help."},
        {{"help"}, "Unknown command help."},
        {{"tvs", "-x"}, "tvs takes no arguments."},
        {{"--", "-x"}, "Unknown command -x."},
        {{"select", "2"}, "select takes no arguments."},
        {{"play", "2"}, "play takes no arguments."},
        {{"power", "on"}, "power takes no arguments."},
        {{"up", "21"}, "up takes an optional count from 1 to 20."},
        {{"up", "0"}, "up takes an optional count from 1 to 20."},
        {{"up", "two"}, "up takes an optional count from 1 to 20."},
        {{"up", "3", "4"}, "up takes an optional count from 1 to 20."},
        {{"launch"}, "launch needs an app name, e.g. orvel launch netflix."},
        {{"launch", "--json"}, "launch needs an app name, e.g. orvel launch netflix."},
        {{"type"}, "type needs text, e.g. orvel type \"the bear\"."},
        {{"Now-Playing"}, "Unknown command Now-Playing."},
        {{"menu"}, "Unknown command menu."},
    };
    for (const auto& [arguments, message] : table) {
        EXPECT_EQ(outcome(ControlCommand::parse(arguments)), "usage: " + message)
            << json(arguments).dump();
    }
}

TEST(ControlCommand, HelpIsTheExactText) {
    const std::vector<std::string> lines = {
        "orvel — control the TV Orvel Remote is connected to.",
        "",
        "usage: orvel [--tv NAME] [--json] COMMAND",
        "",
        "  tvs                    list paired TVs (* selected, ▶ playing)",
        "  status                 what the TV is doing",
        "  nowplaying             what's playing: title, artist, app, position (--json for other "
        "apps)",
        "  watch                  a line each time what's playing changes, until stopped "
        "(--json: one object per line)",
        "  open                   show the remote",
        "  apps                   list the TV's apps (and, on Roku TVs, inputs)",
        "  launch APP             open an app by name (a unique prefix works), e.g. launch "
        "netflix",
        "  type TEXT              type into the TV's text field",
        "  play-pause | play | pause | next | previous | skip-forward | skip-back",
        "  up | down | left | right [N] | ok | back | home",
        "  volume-up | volume-down [N] | mute | wake | sleep",
        "  power                  toggle: sleep if the TV is on, wake it if it's off",
        "",
        "  --tv NAME   address a paired TV by the name Orvel shows (a unique prefix works);",
        "              without it, commands go to the TV selected in Orvel",
        "  --json      print Orvel's raw JSON response, for scripts and other apps",
        "",
        "Orvel Remote must be running. Exit status: 0 ok, 1 failed, 2 usage, 3 Orvel isn't "
        "running.",
    };
    ASSERT_EQ(lines.size(), 22u);
    std::string expected;
    for (const auto& line : lines) expected += line + "\n";
    expected.pop_back();
    EXPECT_EQ(ControlCommand::help(), expected);
    EXPECT_NE(ControlCommand::help().find("orvel \xE2\x80\x94 control"), std::string::npos);
    EXPECT_NE(ControlCommand::help().find("\xE2\x96\xB6 playing"), std::string::npos);
}

}  // namespace
}  // namespace orvel

#include "core/ControlCommand.hpp"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "core/ControlVerb.hpp"

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
        {{"up", "20"}, {{"command", "press"}, {"action", "up"}, {"count", 20}}},
        // The count is a signed 64-bit decimal.
        {{"left", "+3"}, {{"command", "press"}, {"action", "left"}, {"count", 3}}},
        {{"left", "03"}, {{"command", "press"}, {"action", "left"}, {"count", 3}}},
        {{"left", std::string(26, '0') + "20"},
         {{"command", "press"}, {"action", "left"}, {"count", 20}}},
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

TEST(ControlCommand, CountIsFrom1To20) {
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
        {{"--help"}, "Unknown option --help."},
        {{"help"}, "Unknown command help."},
        {{"tvs", "-x"}, "tvs takes no arguments."},
        {{"--", "-x"}, "Unknown command -x."},
        {{"play", "2"}, "play takes no arguments."},
        {{"power", "on"}, "power takes no arguments."},
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

TEST(ControlCommand, HelpNamesEveryCommand) {
    const std::string help(ControlCommand::help());
    EXPECT_TRUE(
        help.starts_with("orvel \xE2\x80\x94 control the TV Orvel Remote is connected to."
                         "\n\nusage: orvel [--tv NAME] [--json] COMMAND\n"));
    EXPECT_TRUE(help.ends_with("3 Orvel isn't running.")) << "the tool adds the last line feed";
    std::set<std::string> words;
    std::istringstream stream(help);
    for (std::string word; stream >> word;) words.insert(word);
    std::vector<std::string> commands = {"tvs",  "status", "nowplaying", "watch", "open",
                                         "apps", "launch", "type",       "power"};
    for (const auto& entry : ControlVerb::kActions) {
        if (entry.word != "select") commands.emplace_back(entry.word);  // a synonym of "ok"
    }
    for (const auto& command : commands) EXPECT_TRUE(words.contains(command)) << command;
}

TEST(ControlVerb, WordsMapToTheirActionsAndBack) {
    const std::vector<std::pair<std::string, RemoteAction>> table = {
        {"play-pause", RemoteAction::playPause},
        {"skip-forward", RemoteAction::skipForward},
        {"skip-back", RemoteAction::skipBackward},
        {"ok", RemoteAction::select},
        {"volume-down", RemoteAction::volumeDown},
        {"up", RemoteAction::up},
        {"home", RemoteAction::home}};
    for (const auto& [word, action] : table) {
        EXPECT_EQ(ControlVerb::action(word), action) << word;
        EXPECT_EQ(ControlVerb::name(action), word) << word;
    }
    EXPECT_EQ(ControlVerb::action("select"), RemoteAction::select);
    for (const char* word : {"Play", "menu", "launch", "type", "skipBackward", ""}) {
        EXPECT_EQ(ControlVerb::action(word), std::nullopt) << word;
    }
    // An action a user cannot type keeps its raw value.
    for (RemoteAction action :
         {RemoteAction::setVolume, RemoteAction::menu, RemoteAction::launchApp})
        EXPECT_EQ(ControlVerb::name(action), rawValue(action));

    std::set<std::string_view> repeatable;
    for (const auto& entry : ControlVerb::kActions) {
        if (ControlVerb::isRepeatable(entry.word)) repeatable.insert(entry.word);
    }
    EXPECT_EQ(repeatable, (std::set<std::string_view>{"up", "down", "left", "right", "volume-up",
                                                      "volume-down"}));
}

// The raw values are what the bridge and the control socket carry.
TEST(RemoteAction, AllCasesInDeclarationOrderRoundTripThroughRawValues) {
    const std::vector<std::string> expected = {
        "up",       "down",        "left",          "right",     "select",     "back",      "menu",
        "home",     "appSwitcher", "controlCenter", "playPause", "play",       "pause",     "next",
        "previous", "skipForward", "skipBackward",  "volumeUp",  "volumeDown", "setVolume", "mute",
        "wake",     "sleep",       "text",          "launchApp"};
    ASSERT_EQ(kAllRemoteActions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rawValue(kAllRemoteActions[i]), expected[i]);
        EXPECT_EQ(remoteActionFromRaw(expected[i]), kAllRemoteActions[i]);
    }
    for (const char* raw : {"Up", "play-pause", "skip-back", "", " up", "up ", "launchapp"}) {
        EXPECT_EQ(remoteActionFromRaw(raw), std::nullopt) << raw;
    }
}

}  // namespace
}  // namespace orvel

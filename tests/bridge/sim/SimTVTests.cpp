#include "bridge/sim/SimTV.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/RemoteAction.hpp"

namespace orvel {
namespace {

using nlohmann::json;

// One remote step, "action" or "action=argument": setVolume's volume, text's text or
// launchApp's app.
CommandArgs step(std::string_view written) {
    const auto equals = written.find('=');
    CommandArgs args{remoteActionFromRaw(written.substr(0, equals)).value(), {}, {}, {}, {}, {}};
    if (equals == std::string_view::npos) return args;
    const std::string argument(written.substr(equals + 1));
    if (args.action == RemoteAction::setVolume) args.volume = std::stod(argument);
    if (args.action == RemoteAction::text) args.text = argument;
    if (args.action == RemoteAction::launchApp) args.app = argument;
    return args;
}

TEST(SimTV, ActionsChangeWhatTheTVShows) {
    struct Case {
        std::vector<const char*> steps;
        std::string refusal;  // of the last step
        json expected;
        std::size_t tv = 0;  // 2: the Roku, with inputs but no absolute volume
    };
    const std::vector<Case> cases = {
        {{"setVolume=99", "volumeUp", "volumeUp"}, "", {{"volume", 100}}},
        {{"setVolume=55.6"}, "", {{"volume", 56}}},
        {{"mute"}, "", {{"volume", 0}}},
        {{"mute", "volumeDown"}, "", {{"volume", 28}}},
        {{"mute", "mute"}, "", {{"volume", 30}}},
        {{"text=a"}, "No text field is focused on Living Room.", {{"typed", ""}}},
        {{"launchApp=netflix", "text=night ", "text=harbor"},
         "",
         {{"typed", "night harbor"}, {"text_focused", true}}},
        {{"launchApp=netflix", "select"},
         "",
         {{"text_focused", false}, {"title", "Night Harbor"}, {"playing", true}}},
        {{"launchApp=radio"}, "Living Room has no app \"radio\".", {{"app", ""}}},
        {{"launchApp=youtube", "play", "back", "back"}, "", {{"app", ""}, {"playing", false}}},
        {{"launchApp=netflix", "play", "next"},
         "",
         {{"artist", "Season 1, Episode 4"}, {"playing", true}}},
        {{"sleep", "up"},
         "Living Room is turned off. Wake it first.",
         {{"power", "Off"}, {"capabilities", {"wake", "sleep"}}}},
        {{"sleep", "wake"}, "", {{"power", "On"}}},
        {{"setVolume=10"}, "Bedroom TV does not support \"setVolume\".", {{"volume", 30}}, 2},
        {{"launchApp=tvinput.hdmi1", "play"},
         "",
         {{"app", "HDMI 1"}, {"playing", false}, {"text_focused", false}},
         2},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.steps.back());
        SimTV tv(Household::builtIn().tvs[testCase.tv]);
        std::string refusal;
        for (const char* written : testCase.steps) refusal = tv.perform(step(written), 0);
        EXPECT_EQ(refusal, testCase.refusal);
        json shown = tv.state(0);
        shown["typed"] = tv.typedText();
        for (const auto& [key, value] : testCase.expected.items()) {
            EXPECT_EQ(shown.value(key, json()), value) << key;
        }
    }
}

TEST(SimTV, SeekingAndRestartingFollowTheClock) {
    SimTV tv(Household::builtIn().tvs[0]);
    tv.perform(step("launchApp=youtube"), 0);
    tv.perform(step("play"), 0);  // 754 s long, starts at 0
    EXPECT_EQ(tv.perform(step("skipBackward"), 5), "");
    EXPECT_DOUBLE_EQ(tv.state(5)["position"].get<double>(), 0);
    tv.perform(step("skipForward"), 5);
    EXPECT_DOUBLE_EQ(tv.state(7)["position"].get<double>(), 12);
    tv.perform(step("previous"), 7);  // later than 3 s: back to the start of the same item
    EXPECT_EQ(tv.state(7)["title"], "Building a Tiny Radio");
    EXPECT_DOUBLE_EQ(tv.state(7)["position"].get<double>(), 0);
    tv.perform(step("previous"), 8);  // within 3 s: the item before (wrapping round)
    EXPECT_EQ(tv.state(8)["title"], "Ten Minutes of Rain");

    // When it ends is the dispatcher's test; what playing an ended item does is here.
    EXPECT_TRUE(tv.finishIfEnded(608));
    tv.perform(step("playPause"), 700);  // an ended item plays again from the start
    EXPECT_DOUBLE_EQ(tv.state(710)["position"].get<double>(), 10);
}

}  // namespace
}  // namespace orvel

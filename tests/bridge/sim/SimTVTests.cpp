#include "bridge/sim/SimTV.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace orvel {
namespace {

using nlohmann::json;

CommandArgs act(RemoteAction action) {
    return CommandArgs{action, {}, {}, {}, {}, {}};
}
CommandArgs withText(std::string text) {
    auto args = act(RemoteAction::text);
    args.text = std::move(text);
    return args;
}
CommandArgs withVolume(double volume) {
    auto args = act(RemoteAction::setVolume);
    args.volume = volume;
    return args;
}
CommandArgs launching(std::string app) {
    auto args = act(RemoteAction::launchApp);
    args.app = std::move(app);
    return args;
}

SimTV livingRoom() {
    return SimTV(Household::builtIn().tvs[0]);
}
SimTV bedroom() {
    return SimTV(Household::builtIn().tvs[2]);
}

// What `tv` shows at time 0, as far as `expected` asks.
json shown(const SimTV& tv, const json& expected) {
    json all = tv.state(0);
    all["typed"] = tv.typedText();
    json picked;
    for (const auto& [key, value] : expected.items()) picked[key] = all.value(key, json());
    return picked;
}

TEST(SimTV, ActionsChangeWhatTheTVShows) {
    using Act = RemoteAction;
    struct Case {
        const char* name;
        std::vector<CommandArgs> steps;
        std::string refusal;  // of the last step
        json expected;
    };
    const std::vector<Case> cases = {
        {"volume steps by two and clamps",
         {withVolume(99), act(Act::volumeUp), act(Act::volumeUp)},
         "",
         {{"volume", 100}}},
        {"absolute volume is rounded", {withVolume(55.6)}, "", {{"volume", 56}}},
        {"mute reports zero", {act(Act::mute)}, "", {{"volume", 0}}},
        {"a volume change unmutes", {act(Act::mute), act(Act::volumeDown)}, "", {{"volume", 28}}},
        {"mute twice restores", {act(Act::mute), act(Act::mute)}, "", {{"volume", 30}}},
        {"text needs a focused field",
         {withText("a")},
         "No text field is focused on Living Room.",
         {{"typed", ""}}},
        {"text appends on the browse screen",
         {launching("netflix"), withText("night "), withText("harbor")},
         "",
         {{"typed", "night harbor"}, {"text_focused", true}}},
        {"playing takes the focus from the field",
         {launching("netflix"), act(Act::select)},
         "",
         {{"text_focused", false}, {"title", "Night Harbor"}, {"playing", true}}},
        {"unknown app", {launching("radio")}, "Living Room has no app \"radio\".", {{"app", ""}}},
        {"back leaves the item, then the app",
         {launching("youtube"), act(Act::play), act(Act::back), act(Act::back)},
         "",
         {{"app", ""}, {"playing", false}}},
        {"next keeps playing the following item",
         {launching("netflix"), act(Act::play), act(Act::next)},
         "",
         {{"artist", "Season 1, Episode 4"}, {"playing", true}}},
        {"an asleep TV only wakes",
         {act(Act::sleep), act(Act::up)},
         "Living Room is turned off. Wake it first.",
         {{"power", "Off"}, {"capabilities", {"wake", "sleep"}}}},
        {"wake", {act(Act::sleep), act(Act::wake)}, "", {{"power", "On"}}},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        auto tv = livingRoom();
        std::string refusal;
        for (const auto& step : testCase.steps) refusal = tv.perform(step, 0);
        EXPECT_EQ(refusal, testCase.refusal);
        EXPECT_EQ(shown(tv, testCase.expected), testCase.expected);
    }
}

TEST(SimTV, RokuHasInputsButNoAbsoluteVolume) {
    auto tv = bedroom();
    EXPECT_EQ(tv.perform(withVolume(10), 0), "Bedroom TV does not support \"setVolume\".");
    EXPECT_EQ(tv.perform(launching("tvinput.hdmi1"), 0), "");
    EXPECT_EQ(tv.perform(act(RemoteAction::play), 0), "");
    EXPECT_EQ(tv.state(0)["playing"], false) << "an input has nothing to play";
    EXPECT_EQ(tv.state(0)["text_focused"], false);
    EXPECT_EQ(tv.state(0)["app"], "HDMI 1");
}

TEST(SimTV, SeekingAndRestartingFollowTheClock) {
    auto tv = livingRoom();
    tv.perform(launching("youtube"), 0);
    tv.perform(act(RemoteAction::play), 0);  // 754 s long, starts at 0
    EXPECT_EQ(tv.perform(act(RemoteAction::skipBackward), 5), "");
    EXPECT_DOUBLE_EQ(tv.state(5)["position"].get<double>(), 0);
    tv.perform(act(RemoteAction::skipForward), 5);
    EXPECT_DOUBLE_EQ(tv.state(7)["position"].get<double>(), 12);
    tv.perform(act(RemoteAction::previous),
               7);  // later than 3 s: back to the start of the same item
    EXPECT_EQ(tv.state(7)["title"], "Building a Tiny Radio");
    EXPECT_DOUBLE_EQ(tv.state(7)["position"].get<double>(), 0);
    tv.perform(act(RemoteAction::previous), 8);  // within 3 s: the item before (wrapping round)
    EXPECT_EQ(tv.state(8)["title"], "Ten Minutes of Rain");

    EXPECT_EQ(tv.secondsLeft(8), 600);
    EXPECT_FALSE(tv.finishIfEnded(607.9));
    EXPECT_TRUE(tv.finishIfEnded(608));
    EXPECT_EQ(tv.state(608)["playing"], false);
    tv.perform(act(RemoteAction::playPause), 700);  // an ended item plays again from the start
    EXPECT_DOUBLE_EQ(tv.state(710)["position"].get<double>(), 10);
}

}  // namespace
}  // namespace orvel

#include "bridge/SimTV.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace orvel {
namespace {

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

// Performs `steps` at time 0 and returns the last refusal (empty when all were taken).
std::string run(SimTV& tv, const std::vector<CommandArgs>& steps) {
    std::string last;
    for (const auto& step : steps) last = tv.perform(step, 0);
    return last;
}

TEST(SimTV, ActionsChangeWhatTheTVShows) {
    struct Case {
        const char* name;
        std::vector<CommandArgs> steps;
        std::string refusal;
        std::function<void(const SimTV&)> check;
    };
    const std::vector<Case> cases = {
        {"volume steps by two and clamps",
         {withVolume(99), act(RemoteAction::volumeUp), act(RemoteAction::volumeUp)},
         "",
         [](const SimTV& tv) { EXPECT_EQ(tv.volume(), 100); }},
        {"absolute volume is rounded",
         {withVolume(55.6)},
         "",
         [](const SimTV& tv) { EXPECT_EQ(tv.volume(), 56); }},
        {"mute reports zero and a volume change unmutes",
         {act(RemoteAction::mute), act(RemoteAction::volumeDown)},
         "",
         [](const SimTV& tv) {
             EXPECT_FALSE(tv.muted());
             EXPECT_EQ(tv.state(0)["volume"], 28);
         }},
        {"mute twice restores",
         {act(RemoteAction::mute), act(RemoteAction::mute)},
         "",
         [](const SimTV& tv) { EXPECT_EQ(tv.state(0)["volume"], 30); }},
        {"text needs a focused field",
         {withText("a")},
         "No text field is focused on Living Room.",
         nullptr},
        {"text appends on the browse screen",
         {launching("netflix"), withText("night "), withText("harbor")},
         "",
         [](const SimTV& tv) { EXPECT_EQ(tv.typedText(), "night harbor"); }},
        {"playing takes the focus from the field",
         {launching("netflix"), act(RemoteAction::select)},
         "",
         [](const SimTV& tv) {
             EXPECT_FALSE(tv.textFocused());
             EXPECT_EQ(tv.state(0)["title"], "Night Harbor");
             EXPECT_TRUE(tv.playing());
         }},
        {"unknown app", {launching("radio")}, "Living Room has no app \"radio\".", nullptr},
        {"back leaves the item, then the app",
         {launching("youtube"), act(RemoteAction::play), act(RemoteAction::back),
          act(RemoteAction::back)},
         "",
         [](const SimTV& tv) { EXPECT_EQ(tv.frontApp(), ""); }},
        {"next keeps playing the following item",
         {launching("netflix"), act(RemoteAction::play), act(RemoteAction::next)},
         "",
         [](const SimTV& tv) {
             EXPECT_EQ(tv.state(0)["artist"], "Season 1, Episode 4");
             EXPECT_TRUE(tv.playing());
         }},
        {"an asleep TV only wakes",
         {act(RemoteAction::sleep), act(RemoteAction::up)},
         "Living Room is turned off. Wake it first.",
         [](const SimTV& tv) {
             EXPECT_EQ(tv.state(0)["power"], "Off");
             EXPECT_EQ(tv.capabilities(), (std::vector<std::string>{"wake", "sleep"}));
         }},
        {"wake",
         {act(RemoteAction::sleep), act(RemoteAction::wake)},
         "",
         [](const SimTV& tv) { EXPECT_TRUE(tv.poweredOn()); }},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        auto tv = livingRoom();
        EXPECT_EQ(run(tv, testCase.steps), testCase.refusal);
        if (testCase.check) testCase.check(tv);
    }
}

TEST(SimTV, RokuHasInputsButNoAbsoluteVolume) {
    auto tv = bedroom();
    EXPECT_EQ(tv.perform(withVolume(10), 0), "Bedroom TV does not support \"setVolume\".");
    EXPECT_EQ(tv.perform(launching("tvinput.hdmi1"), 0), "");
    EXPECT_EQ(tv.perform(act(RemoteAction::play), 0), "");
    EXPECT_FALSE(tv.playing()) << "an input has nothing to play";
    EXPECT_FALSE(tv.textFocused());
    EXPECT_EQ(tv.state(0)["app"], "HDMI 1");
}

TEST(SimTV, SeekingAndRestartingFollowTheClock) {
    auto tv = livingRoom();
    run(tv, {launching("youtube"), act(RemoteAction::play)});  // 754 s long, starts at 0
    EXPECT_EQ(tv.perform(act(RemoteAction::skipBackward), 5), "");
    EXPECT_DOUBLE_EQ(tv.position(5), 0);
    tv.perform(act(RemoteAction::skipForward), 5);
    EXPECT_DOUBLE_EQ(tv.position(7), 12);
    tv.perform(act(RemoteAction::previous),
               7);  // later than 3 s: back to the start of the same item
    EXPECT_EQ(tv.state(7)["title"], "Building a Tiny Radio");
    EXPECT_DOUBLE_EQ(tv.position(7), 0);
    tv.perform(act(RemoteAction::previous), 8);  // within 3 s: the item before (wrapping round)
    EXPECT_EQ(tv.state(8)["title"], "Ten Minutes of Rain");

    EXPECT_EQ(tv.secondsLeft(8), 600);
    EXPECT_FALSE(tv.finishIfEnded(607.9));
    EXPECT_TRUE(tv.finishIfEnded(608));
    EXPECT_FALSE(tv.playing());
    tv.perform(act(RemoteAction::playPause), 700);  // an ended item plays again from the start
    EXPECT_DOUBLE_EQ(tv.position(710), 10);
}

}  // namespace
}  // namespace orvel

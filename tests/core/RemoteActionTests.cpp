#include "core/RemoteAction.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

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

#include "core/RemoteAction.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace orvel {
namespace {

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
}

TEST(RemoteAction, RejectsAnythingButAnExactRawValue) {
    for (const char* raw : {"Up", "play-pause", "skip-back", "", " up", "up ", "launchapp"}) {
        EXPECT_EQ(remoteActionFromRaw(raw), std::nullopt) << raw;
    }
}

TEST(RemoteAction, JsonIsTheRawValueString) {
    EXPECT_EQ(nlohmann::json(RemoteAction::skipBackward), "skipBackward");
    EXPECT_EQ(nlohmann::json("skipBackward").get<RemoteAction>(), RemoteAction::skipBackward);
    EXPECT_THROW(nlohmann::json("skip-back").get<RemoteAction>(), nlohmann::json::other_error);
    EXPECT_THROW(nlohmann::json(3).get<RemoteAction>(), nlohmann::json::type_error);
}

}  // namespace
}  // namespace orvel

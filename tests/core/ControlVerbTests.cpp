#include "core/ControlVerb.hpp"

#include <gtest/gtest.h>

#include <set>

namespace orvel {
namespace {

TEST(ControlVerb, WordsMapToTheirActions) {
    const std::vector<std::pair<std::string, RemoteAction>> table = {
        {"play-pause", RemoteAction::playPause},
        {"skip-forward", RemoteAction::skipForward},
        {"skip-back", RemoteAction::skipBackward},
        {"ok", RemoteAction::select},
        {"select", RemoteAction::select},
        {"volume-down", RemoteAction::volumeDown},
        {"sleep", RemoteAction::sleep},
        {"home", RemoteAction::home},
    };
    for (const auto& [word, action] : table) EXPECT_EQ(ControlVerb::action(word), action) << word;
    EXPECT_EQ(ControlVerb::kActions.size(), 20u);
    for (const char* word : {"Play", "menu", "launch", "type", "skipBackward", ""}) {
        EXPECT_EQ(ControlVerb::action(word), std::nullopt) << word;
    }
}

TEST(ControlVerb, OnlyDirectionsAndVolumeStepsRepeat) {
    std::set<std::string_view> repeatable;
    for (const auto& entry : ControlVerb::kActions) {
        if (ControlVerb::isRepeatable(entry.word)) repeatable.insert(entry.word);
    }
    EXPECT_EQ(repeatable, (std::set<std::string_view>{"up", "down", "left", "right", "volume-up",
                                                      "volume-down"}));
    EXPECT_EQ(ControlVerb::kMaxRepeat, 20);
}

TEST(ControlVerb, NameIsTheWordAUserTypes) {
    const std::vector<std::pair<RemoteAction, std::string>> table = {
        {RemoteAction::select, "ok"},
        {RemoteAction::playPause, "play-pause"},
        {RemoteAction::skipBackward, "skip-back"},
        {RemoteAction::volumeUp, "volume-up"},
        {RemoteAction::setVolume, "setVolume"},
        {RemoteAction::menu, "menu"},
        {RemoteAction::launchApp, "launchApp"},
        {RemoteAction::up, "up"},
    };
    for (const auto& [action, word] : table) EXPECT_EQ(ControlVerb::name(action), word) << word;
}

}  // namespace
}  // namespace orvel

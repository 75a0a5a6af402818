#include "bridge/appletv/CompanionMedia.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using Dictionary = OpackValue::Dictionary;
using enum RemoteAction;

TEST(CompanionMedia, FlagsAllowTheirActionsOnly) {
    const std::vector<std::pair<std::int64_t, std::vector<RemoteAction>>> table = {
        {0, {}},
        {0x0001, {play}},
        {0x0003, {play, pause}},
        {0x000C, {next, previous}},
        {0x0030, {}},  // fast-forward and rewind are no action of ours
        {0x0100, {setVolume}},
        {0x0600, {skipForward, skipBackward}},
        {0x07FF, {play, pause, next, previous, skipForward, skipBackward, setVolume}},
    };
    for (const auto& [flags, actions] : table) {
        EXPECT_EQ(CompanionMedia::actionsAllowed(flags), actions) << flags;
    }
}

TEST(CompanionMedia, RequestsForEachMediaAction) {
    const std::vector<std::tuple<RemoteAction, std::optional<double>, std::optional<OpackValue>>>
        table = {
            {play, {}, Dictionary{{"_mcc", 1}}},
            {pause, {}, Dictionary{{"_mcc", 2}}},
            {next, {}, Dictionary{{"_mcc", 3}}},
            {previous, {}, Dictionary{{"_mcc", 4}}},
            {skipForward, {}, Dictionary{{"_mcc", 7}, {"_skpS", 10.0}}},
            {skipBackward, {}, Dictionary{{"_mcc", 7}, {"_skpS", -10.0}}},
            {setVolume, 30.0, Dictionary{{"_mcc", 6}, {"_vol", 0.3}}},
            {setVolume, 140.0, Dictionary{{"_mcc", 6}, {"_vol", 1.0}}},
            {setVolume, {}, std::nullopt},
            {up, {}, std::nullopt},
        };
    for (const auto& [action, volume, expected] : table) {
        EXPECT_EQ(CompanionMedia::request(action, volume), expected) << rawValue(action);
        if (expected) {
            EXPECT_TRUE(CompanionMedia::isMediaAction(action)) << rawValue(action);
        }
    }
    // Keys: they work whatever the flags say.
    EXPECT_FALSE(CompanionMedia::isMediaAction(playPause));
    EXPECT_FALSE(CompanionMedia::isMediaAction(volumeUp));
}

TEST(CompanionMedia, ReadsFlagsAndVolume) {
    EXPECT_EQ(CompanionMedia::flagsIn(Dictionary{{"_mcF", 0x103}}), 0x103);
    EXPECT_EQ(CompanionMedia::flagsIn(Dictionary{{"_mcF", "3"}}), std::nullopt);
    const std::vector<std::pair<OpackValue, std::optional<int>>> volumes = {
        {Dictionary{{"_vol", 0.3}}, 30},
        {Dictionary{{"_vol", 0.305F}}, 31},
        {Dictionary{{"_vol", 1.5}}, 100},
        {Dictionary{{"_vol", 1}}, std::nullopt},  // only a float is a level
        {Dictionary{}, std::nullopt},
    };
    for (const auto& [reply, expected] : volumes)
        EXPECT_EQ(CompanionMedia::volumeIn(reply), expected);
}

}  // namespace
}  // namespace orvel

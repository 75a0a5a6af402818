#include "core/MediaKeyPressTracker.hpp"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace orvel {
namespace {

using enum RemoteAction;
using Phase = MediaKeyPress::Phase;

struct Step {
    std::uint16_t code;
    Phase phase;
    bool isRepeat;
    std::optional<RemoteAction> action;  // what the policy chose
    MediaKeyHandling expected;
};

const MediaKeyHandling kPass = MediaKeyHandling::passThrough();
const MediaKeyHandling kSwallow = MediaKeyHandling::consume();
MediaKeyHandling consume(RemoteAction action) {
    return MediaKeyHandling::consume(action);
}

TEST(MediaKeyPressTracker, DecidesAWholePressOnItsFirstKeyDown) {
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"held volume up steps on every repeat",
         {{0, Phase::down, false, volumeUp, consume(volumeUp)},
          {0, Phase::down, true, volumeUp, consume(volumeUp)},
          {0, Phase::down, true, std::nullopt, consume(volumeUp)},
          {0, Phase::down, true, volumeUp, consume(volumeUp)},
          {0, Phase::up, false, std::nullopt, kSwallow},
          {0, Phase::up, false, std::nullopt, kPass}}},
        {"held volume down too",
         {{1, Phase::down, false, volumeDown, consume(volumeDown)},
          {1, Phase::down, true, std::nullopt, consume(volumeDown)}}},
        {"play/pause is sent once",
         {{16, Phase::down, false, playPause, consume(playPause)},
          {16, Phase::down, true, playPause, kSwallow},
          {16, Phase::up, false, std::nullopt, kSwallow}}},
        {"mute repeats are swallowed",
         {{7, Phase::down, false, mute, consume(mute)}, {7, Phase::down, true, mute, kSwallow}}},
        {"a second key-down while held sends nothing",
         {{0, Phase::down, false, volumeUp, consume(volumeUp)},
          {0, Phase::down, false, volumeUp, kSwallow}}},
        {"a repeat of a press not taken stays outside",
         {{0, Phase::down, true, volumeUp, kPass}, {0, Phase::up, false, volumeUp, kPass}}},
        {"a key-down without an action passes",
         {{16, Phase::down, false, std::nullopt, kPass},
          {16, Phase::down, true, playPause, kPass},
          {16, Phase::up, false, std::nullopt, kPass}}},
        {"keys are tracked apart",
         {{16, Phase::down, false, playPause, consume(playPause)},
          {0, Phase::down, false, std::nullopt, kPass},
          {0, Phase::up, false, std::nullopt, kPass},
          {16, Phase::up, false, std::nullopt, kSwallow}}},
        {"a key-up repeat flag does not matter",
         {{17, Phase::down, false, next, consume(next)}, {17, Phase::up, true, next, kSwallow}}},
    };
    for (const auto& c : cases) {
        MediaKeyPressTracker tracker;
        int index = 0;
        for (const auto& step : c.steps) {
            EXPECT_EQ(tracker.handle({step.code, step.phase, step.isRepeat}, step.action),
                      step.expected)
                << c.name << ", step " << index;
            ++index;
        }
    }
}

TEST(MediaKeyPressTracker, ResetForgetsEveryHeldPress) {
    MediaKeyPressTracker tracker;
    ASSERT_EQ(tracker.handle({0, Phase::down, false}, volumeUp), consume(volumeUp));
    ASSERT_EQ(tracker.handle({16, Phase::down, false}, playPause), consume(playPause));
    EXPECT_EQ(tracker.held().size(), 2u);
    tracker.reset();
    EXPECT_TRUE(tracker.held().empty());
    EXPECT_EQ(tracker.handle({0, Phase::up, false}, std::nullopt), kPass);
    EXPECT_EQ(tracker.handle({16, Phase::down, true}, playPause), kPass);
}

TEST(MediaKeyHandling, EqualByCaseAndPayload) {
    EXPECT_EQ(MediaKeyHandling::consume(), MediaKeyHandling::consume(std::nullopt));
    EXPECT_NE(MediaKeyHandling::consume(), MediaKeyHandling::passThrough());
    EXPECT_NE(MediaKeyHandling::consume(play), MediaKeyHandling::consume(pause));
    EXPECT_NE(MediaKeyHandling::consume(play), MediaKeyHandling::consume());
    EXPECT_FALSE(MediaKeyHandling::passThrough().action().has_value());
}

}  // namespace
}  // namespace orvel

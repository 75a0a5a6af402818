#include "core/MediaKeyPressTracker.hpp"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace orvel {
namespace {

using enum RemoteAction;
using Phase = MediaKeyPress::Phase;

struct TrackerStep {
    std::uint16_t code;
    Phase phase;
    bool isRepeat;
    std::optional<RemoteAction> action;  // what the policy chose
    MediaKeyHandling expected;
};

const MediaKeyHandling kPassThrough = MediaKeyHandling::passThrough();
const MediaKeyHandling kSwallowed = MediaKeyHandling::consume();
MediaKeyHandling consumeFor(RemoteAction action) {
    return MediaKeyHandling::consume(action);
}

TEST(MediaKeyPressTracker, DecidesAWholePressOnItsFirstKeyDown) {
    const struct {
        const char* name;
        std::vector<TrackerStep> steps;
    } cases[] = {
        {"held volume up steps on every repeat",
         {{0, Phase::down, false, volumeUp, consumeFor(volumeUp)},
          {0, Phase::down, true, volumeUp, consumeFor(volumeUp)},
          {0, Phase::down, true, std::nullopt, consumeFor(volumeUp)},
          {0, Phase::down, true, volumeUp, consumeFor(volumeUp)},
          {0, Phase::up, false, std::nullopt, kSwallowed},
          {0, Phase::up, false, std::nullopt, kPassThrough}}},
        {"held volume down too",
         {{1, Phase::down, false, volumeDown, consumeFor(volumeDown)},
          {1, Phase::down, true, std::nullopt, consumeFor(volumeDown)}}},
        {"play/pause is sent once",
         {{16, Phase::down, false, playPause, consumeFor(playPause)},
          {16, Phase::down, true, playPause, kSwallowed},
          {16, Phase::up, false, std::nullopt, kSwallowed}}},
        {"mute repeats are swallowed",
         {{7, Phase::down, false, mute, consumeFor(mute)},
          {7, Phase::down, true, mute, kSwallowed}}},
        {"a second key-down while held sends nothing",
         {{0, Phase::down, false, volumeUp, consumeFor(volumeUp)},
          {0, Phase::down, false, volumeUp, kSwallowed}}},
        {"a repeat of a press not taken stays outside",
         {{0, Phase::down, true, volumeUp, kPassThrough},
          {0, Phase::up, false, volumeUp, kPassThrough}}},
        {"a key-down without an action passes",
         {{16, Phase::down, false, std::nullopt, kPassThrough},
          {16, Phase::down, true, playPause, kPassThrough},
          {16, Phase::up, false, std::nullopt, kPassThrough}}},
        {"keys are tracked apart",
         {{16, Phase::down, false, playPause, consumeFor(playPause)},
          {0, Phase::down, false, std::nullopt, kPassThrough},
          {0, Phase::up, false, std::nullopt, kPassThrough},
          {16, Phase::up, false, std::nullopt, kSwallowed}}},
        {"a key-up repeat flag does not matter",
         {{17, Phase::down, false, next, consumeFor(next)},
          {17, Phase::up, true, next, kSwallowed}}},
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
    ASSERT_EQ(tracker.handle({0, Phase::down, false}, volumeUp), consumeFor(volumeUp));
    ASSERT_EQ(tracker.handle({16, Phase::down, false}, playPause), consumeFor(playPause));
    EXPECT_EQ(tracker.held().size(), 2u);
    tracker.reset();
    EXPECT_TRUE(tracker.held().empty());
    EXPECT_EQ(tracker.handle({0, Phase::up, false}, std::nullopt), kPassThrough);
    EXPECT_EQ(tracker.handle({16, Phase::down, true}, playPause), kPassThrough);
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

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
        {"held volume keys step on every repeat, each its own",
         {{0, Phase::down, false, volumeUp, consumeFor(volumeUp)},
          {1, Phase::down, false, volumeDown, consumeFor(volumeDown)},
          {1, Phase::down, true, std::nullopt, consumeFor(volumeDown)},
          {0, Phase::down, true, std::nullopt, consumeFor(volumeUp)},
          {0, Phase::down, false, volumeUp, kSwallowed},  // no key-up between
          {0, Phase::up, true, std::nullopt, kSwallowed},
          {0, Phase::up, false, std::nullopt, kPassThrough},
          {1, Phase::down, true, volumeDown, consumeFor(volumeDown)}}},
        {"other keys send once per press",
         {{16, Phase::down, false, playPause, consumeFor(playPause)},
          {16, Phase::down, true, playPause, kSwallowed},
          {7, Phase::down, false, mute, consumeFor(mute)},
          {7, Phase::down, true, mute, kSwallowed},
          {16, Phase::down, false, playPause, kSwallowed},
          {16, Phase::up, false, std::nullopt, kSwallowed}}},
        {"a press not taken stays outside",
         {{0, Phase::down, true, volumeUp, kPassThrough},
          {16, Phase::down, false, std::nullopt, kPassThrough},
          {16, Phase::down, true, playPause, kPassThrough},
          {16, Phase::up, false, std::nullopt, kPassThrough}}},
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
    tracker.handle({0, Phase::down, false}, volumeUp);
    tracker.handle({16, Phase::down, false}, playPause);
    tracker.reset();
    EXPECT_EQ(tracker.handle({0, Phase::up, false}, std::nullopt), kPassThrough);
    EXPECT_EQ(tracker.handle({16, Phase::down, true}, playPause), kPassThrough);
}

}  // namespace
}  // namespace orvel

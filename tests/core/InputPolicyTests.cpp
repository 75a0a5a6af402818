#include "core/InputPolicy.hpp"

#include <optional>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "core/MediaKeyPress.hpp"
#include "core/MediaKeyPressTracker.hpp"

namespace orvel {
namespace {

using enum RemoteAction;
using Actions = std::set<RemoteAction>;
using Phase = MediaKeyPress::Phase;

TEST(InputPolicy, SupportedActionFallsBackOnlyForPlayPause) {
    const struct {
        RemoteAction action;
        bool playing;
        Actions supported;
        std::optional<RemoteAction> expected;
    } cases[] = {
        {playPause, true, {playPause, play, pause}, playPause},
        {playPause, true, {play, pause}, pause},
        {playPause, false, {play, pause}, play},
        {playPause, true, {play}, std::nullopt},
        {next, false, {skipForward, play, pause}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InputPolicy::supportedAction(c.action, c.playing, c.supported), c.expected)
            << rawValue(c.action) << " playing " << c.playing;
    }
}

TEST(InputPolicy, MediaKeyNeedsSuperAloneAConnectionAndItsGate) {
    const Actions all{volumeUp, volumeDown, mute, playPause, next, previous};
    const struct {
        const char* name;
        std::uint16_t code;
        bool super, other, connected, transport, volume;
        Actions supported;
        bool playing;
        std::optional<RemoteAction> expected;
    } cases[] = {
        {"volume up", 0, true, false, true, true, true, {volumeUp}, false, volumeUp},
        {"with Shift too", 0, true, true, true, true, true, {volumeUp}, false, std::nullopt},
        {"not connected", 0, true, false, false, true, true, {volumeUp}, false, std::nullopt},
        {"without Super", 0, false, false, true, true, true, {volumeUp}, false, std::nullopt},
        {"volume down", 1, true, false, true, false, true, all, false, volumeDown},
        {"mute", 7, true, false, true, false, true, all, false, mute},
        {"play on play/pause", 16, true, false, true, true, false, {play, pause}, true, pause},
        {"transport off", 16, true, false, true, false, true, all, false, std::nullopt},
        {"volume off", 7, true, false, true, true, false, all, false, std::nullopt},
        {"next", 17, true, false, true, true, false, all, false, next},
        {"previous", 18, true, false, true, true, false, all, false, previous},
        {"fast", 19, true, false, true, true, false, all, false, next},
        {"rewind", 20, true, false, true, true, false, all, false, previous},
        {"unsupported", 17, true, false, true, true, true, {previous}, false, std::nullopt},
        {"brightness up", 2, true, false, true, true, true, all, false, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InputPolicy::mediaKey(c.code, c.super, c.other, c.connected, c.transport,
                                        c.volume, c.supported, c.playing),
                  c.expected)
            << c.name;
    }
}

TEST(InputPolicy, RemoteKeysOutsideTextAndWithoutModifiers) {
    const struct {
        std::uint16_t code;
        bool editing, modifiers;
        std::optional<RemoteAction> expected;
    } cases[] = {
        {126, false, false, up},          {125, false, false, down},
        {123, false, false, left},        {124, false, false, right},
        {36, false, false, select},       {76, false, false, select},
        {49, false, false, playPause},    {51, false, false, back},
        {117, false, false, back},        {126, true, false, std::nullopt},
        {126, false, true, std::nullopt}, {53, false, false, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InputPolicy::remoteKey(c.code, c.editing, c.modifiers), c.expected)
            << c.code << " editing " << c.editing << " modifiers " << c.modifiers;
    }
}

TEST(MediaKeyPress, DecodesTheLow32BitsOfData1) {
    const struct {
        std::int64_t data1;
        std::optional<MediaKeyPress> expected;
    } cases[] = {
        {0x000A0A00, MediaKeyPress{10, Phase::down, false}},
        {0x00100B01, MediaKeyPress{16, Phase::up, true}},
        {0x00100BFE, MediaKeyPress{16, Phase::up, false}},  // bits 1-7 ignored
        {0xFFFF0A01, MediaKeyPress{0xFFFF, Phase::down, true}},
        {0x7FFF'0000'00140A00, MediaKeyPress{20, Phase::down, false}},
        {-0x1000'0000'0000 + 0x00070B00, MediaKeyPress{7, Phase::up, false}},
        {0x00100C00, std::nullopt},
        {0x00100000, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MediaKeyPress::fromData1(c.data1), c.expected) << std::hex << c.data1;
    }
}

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

#include "input/MediaKeys.hpp"

#include <unistd.h>

#include <gtest/gtest.h>

#include "../session/SessionHarness.hpp"
#include "FakeMediaKeyBackend.hpp"
#include "session/AppInfo.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;
using Codes = std::set<std::uint16_t>;
using Readiness = MediaKeyBackend::Readiness;
using Phase = MediaKeyPress::Phase;
using Sent = std::vector<std::string>;

const Codes kEveryMediaKey{0, 1, 7, 16, 17, 18, 19, 20};
constexpr std::uint16_t kPlayKey = MediaKeyPress::kPlay;
constexpr std::uint16_t kVolumeUpKey = MediaKeyPress::kVolumeUp;

// The bedroom connected and idle, taking playPause, next and volume; the kitchen paired.
struct MediaKeysTest : SessionTest {
    MediaKeysTest()
        : SessionTest(
              {{"pairedDevices", savedList({kBedroom, kKitchen})}, {"lastDevice", kBedroom.id}}) {
        store.start();
        h.connect(kBedroom);
        bridge.emit(
            json::parse(R"({"event": "state", "device": "roku:sim-bedroom", "playing": false,
            "capabilities": ["playPause", "volumeUp", "volumeDown", "next"]})"));
        idle();
    }
    void make(std::optional<std::filesystem::path> diagnostics = std::nullopt) {
        auto fake = std::make_unique<FakeMediaKeyBackend>();
        backend = fake.get();
        keys = MediaKeys::create(h.loop, store, std::move(fake), std::move(diagnostics));
    }
    KeyboardAccess access() const { return h.state().keyboardAccess; }

    FakeMediaKeyBackend* backend = nullptr;
    std::shared_ptr<MediaKeys> keys;
};

TEST_F(MediaKeysTest, HoldsOnlyTheKeysTheTargetAndThePreferencesNeed) {
    make();
    EXPECT_EQ(backend->held, kEveryMediaKey);
    const struct {
        bool mediaKeys, commandVolume;
        Codes expected;
    } cases[] = {{true, false, {16, 17, 18, 19, 20}},
                 {false, false, {}},
                 {false, true, {0, 1, 7}},
                 {true, true, kEveryMediaKey}};
    for (const auto& c : cases) {
        store.setMediaKeys(c.mediaKeys);
        store.setCommandVolume(c.commandVolume);
        keys->sync();
        EXPECT_EQ(backend->held, c.expected) << c.mediaKeys << c.commandVolume;
        EXPECT_EQ(access(), KeyboardAccess::ready);
    }
    // A key held while its grab went and came back is a fresh press, not a stuck one.
    ASSERT_TRUE(backend->press(kVolumeUpKey));
    store.setCommandVolume(false);
    keys->sync();
    store.setCommandVolume(true);
    keys->sync();
    EXPECT_TRUE(backend->press(kVolumeUpKey));
    idle();
    EXPECT_EQ(bridge.actions(), (Sent{"volumeUp", "volumeUp"}));
    const auto captures = backend->captures.size();
    keys->sync();
    EXPECT_EQ(backend->captures.size(), captures) << "an unchanged set is not grabbed again";
    store.disconnect();
    keys->sync();
    EXPECT_EQ(backend->held, Codes{});
}

TEST_F(MediaKeysTest, TakesWhatTheTVDoesAndSendsItOnALaterTurn) {
    make();
    EXPECT_FALSE(backend->press(kVolumeUpKey, Phase::down, false, false)) << "no Super";
    EXPECT_FALSE(backend->press(kVolumeUpKey, Phase::down, false, true, true)) << "Super+Shift";
    EXPECT_FALSE(backend->press(MediaKeyPress::kMute)) << "the TV has no mute";
    EXPECT_TRUE(backend->press(kPlayKey));
    EXPECT_TRUE(bridge.actions().empty()) << "never inside the backend's callback";
    idle();
    EXPECT_EQ(bridge.actions(), Sent{"playPause"});
    // Preferences switched off before the next sync: the keys are still held, not taken.
    store.setCommandVolume(false);
    EXPECT_FALSE(backend->press(kVolumeUpKey));
    store.setMediaKeys(false);
    EXPECT_FALSE(backend->press(MediaKeyPress::kNext));
    store.disconnect();
    store.setMediaKeys(true);
    EXPECT_FALSE(backend->press(MediaKeyPress::kNext)) << "no target";
    idle();
    EXPECT_EQ(bridge.actions(), Sent{"playPause"});
}

TEST_F(MediaKeysTest, ATargetChangeForgetsThePressAndDropsItsSend) {
    make();
    ASSERT_TRUE(backend->press(kPlayKey));
    bridge.emit(json::parse(R"({"event": "state", "device": "sim:kitchen", "playing": true,
        "capabilities": ["play", "pause"]})"));  // media keys drive the kitchen now
    ASSERT_EQ(store.mediaKeyTarget()->id, kKitchen.id);
    idle();
    EXPECT_FALSE(backend->press(kPlayKey, Phase::up)) << "the key-up goes to the desktop";
    EXPECT_TRUE(bridge.actions().empty());
    EXPECT_TRUE(backend->press(kPlayKey));
    idle();
    EXPECT_EQ(bridge.sent("command"),
              (std::vector<json>{{{"action", "pause"}, {"device", kKitchen.id}}}));
}

TEST_F(MediaKeysTest, SuspensionOrDestructionReleasesAndDropsAPendingSend) {
    make();
    ASSERT_TRUE(backend->press(kPlayKey));
    keys->setSuspended(true);
    EXPECT_EQ(access(), KeyboardAccess::suspended);
    EXPECT_EQ(backend->held, Codes{});
    keys->setSuspended(false);
    EXPECT_EQ(access(), KeyboardAccess::ready);
    EXPECT_EQ(backend->held, kEveryMediaKey);
    idle();
    EXPECT_TRUE(bridge.actions().empty())
        << "a press from before a suspension is not sent after it";
    EXPECT_TRUE(backend->press(kPlayKey)) << "the earlier press was forgotten";
    keys.reset();
    idle();
    EXPECT_TRUE(bridge.actions().empty());
}

TEST_F(MediaKeysTest, ThePollBringsTheAccessStateInLineWithTheBackend) {
    make();
    backend->state = Readiness::unavailable;
    h.loop.advance(MediaKeys::kPollInterval - 0.1);
    EXPECT_EQ(access(), KeyboardAccess::ready) << "not before the poll";
    const struct {
        Readiness readiness;
        bool refuse;
        KeyboardAccess expected;
        Codes held;
    } cases[] = {
        {Readiness::unavailable, false, KeyboardAccess::unavailable, {}},
        {Readiness::needsPermission, false, KeyboardAccess::needsPermission, {}},
        {Readiness::ready, true, KeyboardAccess::unavailable, {}},
        {Readiness::ready, false, KeyboardAccess::ready, kEveryMediaKey},
    };
    for (const auto& c : cases) {
        backend->state = c.readiness;
        backend->refuse = c.refuse;
        h.loop.advance(MediaKeys::kPollInterval);
        EXPECT_EQ(access(), c.expected) << rawValue(c.expected);
        EXPECT_EQ(backend->held, c.held) << rawValue(c.expected);
    }
    backend->state = Readiness::needsPermission;
    keys->sync();
    keys->requestAccess();
    EXPECT_EQ(access(), KeyboardAccess::ready);
    backend->held.clear();  // the desktop took the keys back
    keys->sync();
    EXPECT_EQ(backend->held, kEveryMediaKey);
    keys->stop();
    EXPECT_EQ(backend->held, Codes{});
    keys->requestAccess();
    h.loop.advance(10);
    EXPECT_EQ(backend->held, Codes{}) << "stopped for good";
}

TEST(MediaKeysDemo, DemoModeIsSuspendedWithNothingHeld) {
    SessionHarness h;
    auto& store = h.makeDemo();
    auto fake = std::make_unique<FakeMediaKeyBackend>();
    const auto& backend = *fake;
    auto keys = MediaKeys::create(h.loop, store, std::move(fake), std::nullopt);
    h.loop.advance(MediaKeys::kPollInterval);
    EXPECT_EQ(h.state().keyboardAccess, KeyboardAccess::suspended);
    EXPECT_TRUE(backend.held.empty());
}

TEST_F(MediaKeysTest, DiagnosticsReportEachStageAndAreRewrittenOnlyOnChange) {
    const std::string path = h.dir / "support/keys.json";
    const auto read = [&] { return json::parse(ScratchDir::read(path)); };
    make(path);  // its folder does not exist yet: tried again on the next sync
    EXPECT_FALSE(std::filesystem::exists(path));
    std::filesystem::create_directories(h.dir / "support");
    keys->sync();
    json expected =
        json::parse(R"({"accessibilityTrusted": true, "capture": "ready", "connected": true,
        "connecting": false, "hasConnectionError": false, "hasPairedTVs": true,
        "tapEnabled": true, "mediaEventCount": 0, "target": "roku:sim-bedroom",
        "supportedMediaActions": ["next", "playPause", "volumeDown", "volumeUp"]})");
    expected.update({{"processID", ::getpid()}, {"version", AppInfo::version()}});
    EXPECT_EQ(read(), expected);
    EXPECT_EQ(ScratchDir::read(path), expected.dump(2) + "\n") << "pretty, keys sorted";

    backend->press(MediaKeyPress::kMute, Phase::down, false, true, true);
    keys->sync();
    expected.update(
        json::parse(R"({"mediaEventCount": 1, "lastKeyDownCode": 7, "lastKeyDownCommand": true,
        "lastKeyDownOtherModifiers": true})"));
    EXPECT_EQ(read(), expected) << "15 keys once a media key was seen";

    backend->press(kPlayKey);
    backend->press(kPlayKey, Phase::up);
    keys->sync();
    expected.update(json::parse(R"({"mediaEventCount": 2, "lastKeyDownCode": 16,
        "lastKeyDownOtherModifiers": false, "lastRoutedAction": "playPause",
        "lastRoutedEventCount": 2, "lastRoutedTarget": "roku:sim-bedroom"})"));
    EXPECT_EQ(read(), expected) << "18 keys once one was routed";

    std::filesystem::remove(path);
    h.loop.advance(3 * MediaKeys::kPollInterval);
    EXPECT_FALSE(std::filesystem::exists(path)) << "nothing changed, nothing written";
    keys->setSuspended(true);
    EXPECT_EQ(read()["capture"], "suspended");
    EXPECT_EQ(read()["tapEnabled"], false);
}

}  // namespace
}  // namespace orvel::test

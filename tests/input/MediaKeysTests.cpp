#include "input/MediaKeys.hpp"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

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

const Codes kTransportKeys{16, 17, 18, 19, 20};
const Codes kVolumeKeys{0, 1, 7};
const Codes kEveryMediaKey{0, 1, 7, 16, 17, 18, 19, 20};
constexpr std::uint16_t kPlayKey = MediaKeyPress::kPlay;
constexpr std::uint16_t kVolumeUpKey = MediaKeyPress::kVolumeUp;

json tvState(const TVDevice& device, bool playing, json capabilities) {
    return {{"event", "state"},
            {"device", device.id},
            {"playing", playing},
            {"capabilities", std::move(capabilities)}};
}

// The Roku connected, taking playPause and volume; the kitchen paired and not playing.
struct MediaKeysTest : SessionTest {
    MediaKeysTest()
        : SessionTest(
              {{"pairedDevices", savedList({kBedroom, kKitchen})}, {"lastDevice", kBedroom.id}}) {
        store.start();
        h.connect(kBedroom);
        bridge.emit(tvState(kBedroom, false, {"playPause", "volumeUp", "volumeDown", "next"}));
        idle();
    }
    MediaKeys& make(std::optional<std::filesystem::path> diagnostics = std::nullopt) {
        auto fake = std::make_unique<FakeMediaKeyBackend>();
        backend = fake.get();
        configure(*backend);
        keys = MediaKeys::create(h.loop, store, std::move(fake), std::move(diagnostics));
        return *keys;
    }
    virtual void configure(FakeMediaKeyBackend&) {}
    // The actions sent to the TV, in order.
    std::vector<std::string> sent() const {
        std::vector<std::string> actions;
        for (const auto& fields : bridge.sent("command")) actions.push_back(fields["action"]);
        return actions;
    }
    KeyboardAccess access() const { return h.state().keyboardAccess; }

    FakeMediaKeyBackend* backend = nullptr;
    std::shared_ptr<MediaKeys> keys;
};

TEST_F(MediaKeysTest, HoldsOnlyTheKeysTheTargetAndThePreferencesNeed) {
    make();
    EXPECT_EQ(backend->held, kEveryMediaKey);
    EXPECT_EQ(access(), KeyboardAccess::ready);
    const struct {
        bool mediaKeys, commandVolume;
        Codes expected;
    } cases[] = {{true, false, kTransportKeys},
                 {false, false, {}},
                 {false, true, kVolumeKeys},
                 {true, true, kEveryMediaKey}};
    for (const auto& c : cases) {
        store.setMediaKeys(c.mediaKeys);
        store.setCommandVolume(c.commandVolume);
        keys->sync();
        EXPECT_EQ(backend->held, c.expected) << c.mediaKeys << c.commandVolume;
        EXPECT_EQ(access(), KeyboardAccess::ready);
    }
    // A volume key held while its grab went and came back is a fresh press, not a stuck one.
    ASSERT_TRUE(backend->down(kVolumeUpKey));
    store.setCommandVolume(false);
    keys->sync();
    store.setCommandVolume(true);
    keys->sync();
    EXPECT_TRUE(backend->down(kVolumeUpKey));
    idle();
    EXPECT_EQ(sent(), (std::vector<std::string>{"volumeUp", "volumeUp"}));
    const auto captures = backend->captures.size();
    keys->sync();
    EXPECT_EQ(backend->captures.size(), captures) << "an unchanged set is not grabbed again";
    store.disconnect();
    keys->sync();
    EXPECT_EQ(backend->held, Codes{}) << "no target: the desktop has every key";
    EXPECT_EQ(access(), KeyboardAccess::ready);
}

TEST_F(MediaKeysTest, APlayPressSendsOnceOnALaterTurn) {
    make();
    EXPECT_TRUE(backend->down(kPlayKey));
    EXPECT_TRUE(sent().empty()) << "never sent inside the backend's callback";
    idle();
    EXPECT_TRUE(backend->down(kPlayKey, true));
    EXPECT_TRUE(backend->up(kPlayKey));
    idle();
    EXPECT_EQ(sent(), std::vector<std::string>{"playPause"});
}

TEST_F(MediaKeysTest, AHeldVolumeKeyStepsOnEveryRepeat) {
    make();
    EXPECT_TRUE(backend->down(kVolumeUpKey));
    EXPECT_TRUE(backend->down(kVolumeUpKey, true));
    EXPECT_TRUE(backend->down(kVolumeUpKey, true));
    EXPECT_TRUE(backend->up(kVolumeUpKey));
    idle();
    EXPECT_EQ(sent(), (std::vector<std::string>{"volumeUp", "volumeUp", "volumeUp"}));
}

TEST_F(MediaKeysTest, KeysTheTVDoesNotTakeReachTheDesktop) {
    make();
    EXPECT_FALSE(backend->press(kVolumeUpKey, Phase::down, false, false, false)) << "no Super";
    EXPECT_FALSE(backend->press(kVolumeUpKey, Phase::down, false, true, true)) << "Super+Shift";
    EXPECT_FALSE(backend->down(MediaKeyPress::kMute)) << "the TV has no mute";
    EXPECT_FALSE(backend->down(2)) << "not held";
    // Preferences switched off before the next sync: the keys are still held, not taken.
    store.setCommandVolume(false);
    EXPECT_FALSE(backend->down(kVolumeUpKey));
    store.setMediaKeys(false);
    EXPECT_FALSE(backend->down(kPlayKey));
    store.disconnect();
    store.setMediaKeys(true);
    EXPECT_FALSE(backend->down(kPlayKey)) << "no target";
    idle();
    EXPECT_TRUE(sent().empty());
}

TEST_F(MediaKeysTest, ATargetChangeForgetsThePressAndDropsItsSend) {
    make();
    ASSERT_TRUE(backend->down(kPlayKey));
    // The kitchen starts playing: media keys drive it now.
    bridge.emit(tvState(kKitchen, true, {"play", "pause"}));
    ASSERT_EQ(store.mediaKeyTarget()->id, kKitchen.id);
    idle();
    EXPECT_FALSE(backend->up(kPlayKey)) << "the key-up goes to the desktop";
    EXPECT_TRUE(sent().empty());
    // Playing, the kitchen's playPause is its pause, sent to it.
    EXPECT_TRUE(backend->down(kPlayKey));
    idle();
    EXPECT_EQ(bridge.sent("command"),
              (std::vector<json>{{{"action", "pause"}, {"device", kKitchen.id}}}));
}

TEST_F(MediaKeysTest, SuspensionReleasesEverythingAndDropsAPendingSend) {
    make();
    ASSERT_TRUE(backend->down(kPlayKey));
    keys->setSuspended(true);
    EXPECT_EQ(access(), KeyboardAccess::suspended);
    EXPECT_EQ(backend->held, Codes{});
    idle();
    EXPECT_TRUE(sent().empty());
    keys->setSuspended(false);
    EXPECT_EQ(access(), KeyboardAccess::ready);
    EXPECT_EQ(backend->held, kEveryMediaKey);
    idle();
    EXPECT_TRUE(backend->down(kPlayKey)) << "the earlier press was forgotten";
    keys->setSuspended(true);
    keys->setSuspended(false);
    idle();
    EXPECT_TRUE(sent().empty()) << "a press from before a suspension is not sent after it";
    EXPECT_FALSE(backend->up(kPlayKey)) << "released with the capture";
    EXPECT_TRUE(backend->down(kPlayKey));
    keys.reset();
    idle();
    EXPECT_TRUE(sent().empty()) << "the instance is gone";
}

TEST_F(MediaKeysTest, TheAccessStateFollowsTheBackend) {
    make();
    const struct {
        Readiness readiness;
        bool refuse;
        KeyboardAccess expected;
        Codes held;
    } cases[] = {
        {Readiness::needsPermission, false, KeyboardAccess::needsPermission, {}},
        {Readiness::unavailable, false, KeyboardAccess::unavailable, {}},
        {Readiness::ready, true, KeyboardAccess::unavailable, {}},
        {Readiness::ready, false, KeyboardAccess::ready, kEveryMediaKey},
    };
    for (const auto& c : cases) {
        backend->state = c.readiness;
        backend->refuse = c.refuse;
        h.loop.advance(MediaKeys::kPollInterval);  // the poll notices by itself
        EXPECT_EQ(access(), c.expected) << rawValue(c.expected);
        EXPECT_EQ(backend->held, c.held) << rawValue(c.expected);
    }
    backend->state = Readiness::needsPermission;
    backend->grantOnRequest = true;
    keys->requestAccess();
    EXPECT_EQ(backend->accessRequests, 1);
    EXPECT_EQ(access(), KeyboardAccess::ready);
    backend->held.clear();  // the desktop took the keys back
    keys->sync();
    EXPECT_EQ(backend->held, kEveryMediaKey);
}

TEST_F(MediaKeysTest, PollsEveryTwoSecondsUntilStopped) {
    make();
    const int first = backend->readinessAsks;
    h.loop.advance(1.9);
    EXPECT_EQ(backend->readinessAsks, first);
    h.loop.advance(0.1);
    EXPECT_EQ(backend->readinessAsks, first + 1);
    h.loop.advance(4);
    EXPECT_EQ(backend->readinessAsks, first + 3);
    keys->stop();
    EXPECT_EQ(backend->held, Codes{});
    keys->sync();
    h.loop.advance(10);
    EXPECT_EQ(backend->readinessAsks, first + 3);
    EXPECT_EQ(backend->held, Codes{});
}

TEST(MediaKeysDemo, DemoModeIsSuspendedWithNothingHeld) {
    for (auto readiness : {Readiness::ready, Readiness::needsPermission, Readiness::unavailable}) {
        SessionHarness h;
        auto& store = h.makeDemo();
        auto fake = std::make_unique<FakeMediaKeyBackend>();
        auto& backend = *fake;
        backend.state = readiness;
        auto keys = MediaKeys::create(h.loop, store, std::move(fake), std::nullopt);
        h.loop.advance(MediaKeys::kPollInterval);
        EXPECT_EQ(h.state().keyboardAccess, KeyboardAccess::suspended);
        EXPECT_TRUE(backend.held.empty());
    }
}

struct MediaKeysDiagnosticsTest : MediaKeysTest {
    json read() const { return json::parse(ScratchDir::read(path)); }
    std::string path = h.dir / "support/keys.json";
};

TEST_F(MediaKeysDiagnosticsTest, ReportsEachStageAndRewritesOnlyOnChange) {
    std::filesystem::create_directories(h.dir / "support");
    make(path);
    const json base = read();
    EXPECT_EQ(base.size(), 12u);
    EXPECT_EQ(base["accessibilityTrusted"], true);
    EXPECT_EQ(base["capture"], "ready");
    EXPECT_EQ(base["connected"], true);
    EXPECT_EQ(base["hasPairedTVs"], true);
    EXPECT_EQ(base["target"], kBedroom.id);
    EXPECT_EQ(base["tapEnabled"], true);
    EXPECT_EQ(base["mediaEventCount"], 0);
    EXPECT_EQ(base["processID"], ::getpid());
    EXPECT_EQ(base["version"], AppInfo::version());
    EXPECT_EQ(base["supportedMediaActions"], json({"next", "playPause", "volumeDown", "volumeUp"}));
    EXPECT_EQ(ScratchDir::read(path), base.dump(2) + "\n") << "pretty, keys sorted";

    backend->press(MediaKeyPress::kMute, Phase::down, false, true, true);
    keys->sync();
    json seen = read();
    EXPECT_EQ(seen.size(), 15u);
    EXPECT_EQ(seen["mediaEventCount"], 1);
    EXPECT_EQ(seen["lastKeyDownCode"], 7);
    EXPECT_EQ(seen["lastKeyDownCommand"], true);
    EXPECT_EQ(seen["lastKeyDownOtherModifiers"], true);

    backend->down(kPlayKey);
    backend->up(kPlayKey);
    keys->sync();
    json routed = read();
    EXPECT_EQ(routed.size(), 18u);
    EXPECT_EQ(routed["lastRoutedAction"], "playPause");
    EXPECT_EQ(routed["lastRoutedEventCount"], 2);
    EXPECT_EQ(routed["lastRoutedTarget"], kBedroom.id);

    std::filesystem::remove(path);
    h.loop.advance(3 * MediaKeys::kPollInterval);
    EXPECT_FALSE(std::filesystem::exists(path)) << "nothing changed, nothing written";
    keys->setSuspended(true);
    EXPECT_EQ(read()["capture"], "suspended");
    EXPECT_EQ(read()["tapEnabled"], false);
}

TEST_F(MediaKeysDiagnosticsTest, AFailedWriteIsTriedAgainOnTheNextSync) {
    make(path);  // its folder does not exist yet
    EXPECT_FALSE(std::filesystem::exists(path));
    std::filesystem::create_directories(h.dir / "support");
    h.loop.advance(MediaKeys::kPollInterval);
    EXPECT_EQ(read()["capture"], "ready");
}

}  // namespace
}  // namespace orvel::test

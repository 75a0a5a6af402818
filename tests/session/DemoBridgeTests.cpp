// A demo session: the made-up TVs on DemoBridge, what the remote does to them, and a run that
// leaves the user's settings and credentials as they were.

#include "session/DemoBridge.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "SessionHarness.hpp"
#include "session/AppStore.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

json nowPlaying(const AppState& s) {
    return {s.selectedID, s.connected, s.playing, s.title, s.app, s.power, s.volume.value_or(-1)};
}

TEST(DemoBridge, StartsOnTheLivingRoomAndConnectsToEachTVWithWhatItPlays) {
    SessionHarness h;
    auto& store = h.makeDemo();
    const auto& s = h.state();
    EXPECT_EQ(nowPlaying(s), json({"demo-living", true, true, "Severance", "TV", "On", 40}));
    for (auto action : kAllRemoteActions) EXPECT_TRUE(store.can(action)) << rawValue(action);
    EXPECT_EQ(s.savedDevices, DemoBridge::devices());
    EXPECT_TRUE(s.statuses.at(DemoBridge::kBedroomID).playing);

    const std::pair<TVDevice, json> rows[] = {
        {s.savedDevices[1], {"demo-bedroom", true, true, "The Bear", "Hulu", "On", -1}},
        {TVDevice("demo-attic", "Attic", {}), {"demo-attic", true, false, "", "", "Unknown", -1}},
        {s.savedDevices[0], {"demo-living", true, true, "Severance", "TV", "On", 40}},
    };
    for (const auto& [device, expected] : rows) {
        store.connect(device);
        h.idle();
        EXPECT_EQ(nowPlaying(s), expected);
        EXPECT_TRUE(s.textFocused && store.can(RemoteAction::launchApp));
    }
}

TEST(DemoBridge, TheBlockedSceneShowsARokuOnItsHomeScreenThatRefusesRemoteApps) {
    SessionHarness h;
    auto& store = h.makeDemo(DemoBridge::Scene::blocked);
    const auto& s = h.state();
    EXPECT_EQ(nowPlaying(s),
              json({"roku:demo-living", true, false, "", DemoBridge::kBlockedApp, "On", -1}));
    EXPECT_EQ(s.notice, DemoBridge::kBlockedNotice);
    EXPECT_EQ(s.savedDevices, DemoBridge::devices(DemoBridge::Scene::blocked));
    // The notice is the Roku's own: the other TV, once shown, has none.
    store.connect(s.savedDevices[1]);
    h.idle();
    EXPECT_EQ(nowPlaying(s), json({"demo-bedroom", true, true, "The Bear", "Hulu", "On", -1}));
    EXPECT_EQ(s.notice, "");
}

TEST(DemoBridge, CommandsShowTheirEffectOnTheSelectedTVAlone) {
    SessionHarness h;
    auto& store = h.makeDemo();
    auto send = [&](RemoteAction action, AppStore::CommandOptions options = {}) {
        std::optional<bool> result;
        store.send(action, std::move(options), [&](bool accepted) { result = accepted; });
        h.idle();
        return result;
    };
    const auto& s = h.state();
    // What the remote shows after each step, in order.
    const std::pair<std::function<void()>, json> steps[] = {
        {[&] { send(RemoteAction::playPause); }, {false, "On", 40}},
        {[&] { send(RemoteAction::sleep); }, {false, "Off", 40}},
        {[&] { send(RemoteAction::play); }, {true, "Off", 40}},
        {[&] { send(RemoteAction::mute); }, {true, "Off", 0}},
        {[&] { send(RemoteAction::mute); }, {true, "Off", 40}},
        {[&] { send(RemoteAction::setVolume); }, {true, "Off", -1}},
        {[&] { store.adjustVolume(1); }, {true, "Off", 42}},
        {[&] { store.adjustVolume(-3); }, {true, "Off", 36}},
        {[&] { store.setVolume(99); }, {true, "Off", 99}},
        {[&] { store.adjustVolume(2); }, {true, "Off", 100}},
        {[&] { send(RemoteAction::wake); }, {true, "On", 100}},
        {[&] { send(RemoteAction::pause); }, {false, "On", 100}},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        steps[i].first();
        h.idle();
        EXPECT_EQ(json({s.playing, s.power, s.volume.value_or(-1)}), steps[i].second) << i;
        EXPECT_EQ(s.statuses.at(DemoBridge::kLivingRoomID).playing, s.playing) << i;
    }

    // Paused, the living room gives the media keys to the bedroom, which takes no command.
    ASSERT_TRUE(store.mediaKeyTarget());
    EXPECT_EQ(store.mediaKeyTarget()->id, DemoBridge::kBedroomID);
    EXPECT_EQ(send(RemoteAction::play, {.to = DemoBridge::kBedroomID}), false);
    EXPECT_TRUE(s.statuses.at(DemoBridge::kBedroomID).playing);

    std::string message;
    store.apps(s.savedDevices.front(), [&](auto, const std::string& error) { message = error; });
    h.idle();
    EXPECT_EQ(message, AppStore::kBridgeNotRunning);
    store.pair(s.savedDevices.front());
    EXPECT_FALSE(s.pairingDevice) << "demo TVs are not paired";
    EXPECT_EQ(s.error, "");
}

// The user's switches are read; whatever the run changes, the settings file stays as it was.
TEST(DemoBridge, ARunLeavesTheUsersSettingsFileAsItWas) {
    const std::pair<std::string, bool> stored[] = {
        {json({{"pairedDevices", savedList({kBedroom})},
               {"lastDevice", kBedroom.id},
               {"mediaKeys", false}})
             .dump(),
         false},
        {"{\"mediaKeys\": fal", true},
    };
    for (const auto& [text, mediaKeys] : stored) {
        SCOPED_TRACE(text);
        SessionHarness h;
        ScratchDir::write(h.defaultsPath, text);
        auto& store = h.makeDemo();
        EXPECT_EQ(h.state().mediaKeys, mediaKeys);
        int told = 0;
        store.setOnPreferencesChange([&] { ++told; });
        store.setMediaKeys(true);
        store.setShortcut(49, 0x0100, "Super+Space");
        EXPECT_EQ(told, 2);
        store.forget(h.state().savedDevices[0]);  // the selected one
        h.idle();
        EXPECT_EQ(h.state().savedDevices.size(), 1u);

        EXPECT_EQ(ScratchDir::read(h.defaultsPath), text);
        EXPECT_FALSE(std::filesystem::exists(h.defaultsPath + ".corrupt"));
    }
}

}  // namespace
}  // namespace orvel::test

#include "session/DemoHousehold.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "SessionHarness.hpp"
#include "session/AppStore.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

TEST(DemoHousehold, StartsConnectedToTheLivingRoomAndSwitchesWriteNothing) {
    SessionHarness h(json{{"mediaKeys", true}});
    auto& store = h.make(/*demo=*/true);
    int told = 0;
    store.setOnPreferencesChange([&] { ++told; });
    store.start();
    const auto& s = h.state();
    EXPECT_EQ(json({s.selectedID, s.playing, s.title, s.app, s.power, *s.volume}),
              json({"demo-living", true, "Severance", "TV", "On", 40}));
    for (auto action : kAllRemoteActions) EXPECT_TRUE(store.can(action));
    EXPECT_EQ(h.state().savedDevices.size(), 2u);
    EXPECT_EQ(h.state().statuses.at("demo-bedroom").playingSince, 2);

    store.connect(h.state().savedDevices[1]);
    EXPECT_EQ(json({s.title, s.app, s.volume.has_value()}), json({"The Bear", "Hulu", false}));
    store.connect(TVDevice("demo-attic", "Attic"));  // no demo record
    EXPECT_EQ(json({s.playing, s.title, s.power, s.connected}), json({false, "", "Unknown", true}));

    store.setMediaKeys(false);
    store.setFollowPlaying(false);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(h.storedDefaults(), json({{"mediaKeys", true}}));
    EXPECT_EQ(h.state().statuses.size(), 2u) << "demo records stay";
}

TEST(DemoHousehold, CommandsShowTheirEffectAndForgettingLeavesTheKeyringAlone) {
    SessionHarness h;
    auto& store = h.make(/*demo=*/true);
    auto send = [&](RemoteAction action, AppStore::CommandOptions options = {}) {
        bool result = false;
        store.send(action, std::move(options), [&](bool accepted) { result = accepted; });
        return result;
    };
    const bool wasPlaying = h.state().playing;
    EXPECT_TRUE(send(RemoteAction::playPause));
    EXPECT_EQ(h.state().statuses.at(h.state().selectedID).playing, !wasPlaying);
    EXPECT_TRUE(send(RemoteAction::sleep));
    EXPECT_EQ(h.state().power, "Off");

    for (double expected : {0.0, 40.0, 0.0}) {
        send(RemoteAction::mute);
        EXPECT_EQ(h.state().volume, expected);
    }
    send(RemoteAction::setVolume);
    EXPECT_EQ(h.state().volume, std::nullopt);
    store.adjustVolume(1);
    EXPECT_EQ(h.state().volume, 42);
    store.setVolume(70);
    EXPECT_EQ(h.state().volume, 70);

    EXPECT_FALSE(send(RemoteAction::up, {.to = DemoHousehold::kBedroomID}));
    std::string message;
    const auto saved = h.state().savedDevices;
    store.apps(saved.front(), [&](auto, const std::string& error) { message = error; });
    EXPECT_EQ(message, AppStore::kBridgeNotRunning);

    store.pair(kKitchen);
    EXPECT_FALSE(h.state().pairingDevice) << "nothing to pair with";
    h.credentials.save(saved[0].id, {{"Companion", "x"}});
    store.forget(saved[0]);
    h.idle();
    EXPECT_EQ(h.state().savedDevices.size(), saved.size() - 1);
    EXPECT_TRUE(h.credentials.contents().contains(saved[0].id));
    EXPECT_FALSE(std::filesystem::exists(h.defaultsPath));
}

}  // namespace
}  // namespace orvel::test

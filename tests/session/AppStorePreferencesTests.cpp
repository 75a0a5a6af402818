// Preferences, the saved list, opening at login and demo mode of AppStore.

#include <gtest/gtest.h>

#include <filesystem>

#include "SessionHarness.hpp"
#include "session/AppStore.hpp"
#include "session/DemoHousehold.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

const char* const kPreferenceKeys[] = {"mediaKeys",        "commandVolume", "followPlaying",
                                       "showsMenuBarIcon", "shortcutCode",  "shortcutModifiers",
                                       "shortcutLabel"};

// What a run reads from each stored file, as {mediaKeys, shortcutCode, shortcutLabel, number of
// saved TVs, selected TV}; the other switches are on whatever is stored.
TEST(AppStorePreferences, StoredValuesAndWhatFallsBack) {
    const json fallback = {true, 35, "Ctrl+Alt+Super+P", 0, ""};
    const std::pair<json, json> cases[] = {
        {json::object(), fallback},
        {{{"mediaKeys", false},
          {"shortcutCode", 49},
          {"shortcutModifiers", 0x0100},
          {"shortcutLabel", "Super+Space"},
          {"pairedDevices", savedList({kLiving, kBedroom})},
          {"lastDevice", kBedroom.id}},
         {false, 49, "Super+Space", 2, kBedroom.id}},
        {{{"shortcutCode", 49}, {"shortcutLabel", 7}}, {true, 49, "Ctrl+Alt+Super+P", 0, ""}},
        {{{"shortcutCode", 4294967296}, {"shortcutLabel", "Ctrl+Q"}}, fallback},
        {{{"shortcutModifiers", -1}, {"shortcutLabel", "Ctrl+Q"}}, fallback},
        {{{"pairedDevices", json::parse(R"([{"id":"a","name":"A","protocols":[]},
                                            {"id":"b","name":"B"}])")}},
         fallback},
    };
    for (const auto& [stored, expected] : cases) {
        SCOPED_TRACE(stored.dump());
        SessionHarness h(stored);
        h.make();
        const auto& s = h.state();
        EXPECT_EQ(json({s.mediaKeys, s.shortcutCode, s.shortcutLabel, s.savedDevices.size(),
                        s.selectedID}),
                  expected);
        EXPECT_TRUE(s.commandVolume && s.followPlaying && s.showsMenuBarIcon);
    }
}

TEST(AppStorePreferences, EachChangeWritesAllSevenKeysAndTellsTheShellOnce) {
    SessionHarness h;
    h.make();
    int told = 0;
    h.store->setOnPreferencesChange([&] { ++told; });
    h.store->setMediaKeys(false);
    EXPECT_EQ(told, 1);
    auto stored = h.storedDefaults();
    for (const char* key : kPreferenceKeys) EXPECT_TRUE(stored.contains(key)) << key;
    EXPECT_EQ(stored["mediaKeys"], false);

    h.store->setShortcut(0xFFFFFFFF, 0x1000, "Ctrl+Q");
    EXPECT_EQ(told, 2);
    EXPECT_EQ(h.storedDefaults()["shortcutCode"], 4294967295u);
    EXPECT_EQ(h.storedDefaults()["shortcutLabel"], "Ctrl+Q");
}

TEST(AppStorePreferences, OpeningAtLoginFollowsTheLoginService) {
    SessionHarness h;
    h.login.status = true;
    h.make();
    EXPECT_TRUE(h.state().launchAtLogin);

    h.login.needsApproval = true;  // accepted, but not enabled
    h.store->setLogin(true);
    EXPECT_FALSE(h.state().launchAtLogin);
    EXPECT_EQ(h.state().error, "");

    h.login.refusal = "The autostart entry could not be written.";
    h.store->setLogin(false);
    EXPECT_EQ(h.state().error, "The autostart entry could not be written.");
}

TEST(AppStorePreferences, AllDevicesListsSavedTVsFirstAndEachOnce) {
    SessionHarness h(json{{"pairedDevices", savedList({kLiving})}, {"lastDevice", "sim:gone"}});
    h.make();
    EXPECT_EQ(h.store->tvKind(), "TV");
    h.store->start();
    h.store->scan();
    const TVDevice found("sim:living-room", "Renamed", {});
    h.bridge->reply("scan", {{"devices", {kBedroom.stored(), found.stored()}}});
    EXPECT_EQ(h.store->allDevices(), (std::vector<TVDevice>{kLiving, kBedroom}));
    h.store->connect(kLiving);
    EXPECT_EQ(h.store->tvKind(), "Apple TV");
}

TEST(AppStoreDemo, StartsConnectedToTheLivingRoomAndSwitchesWriteNothing) {
    SessionHarness h(json{{"mediaKeys", true}});
    auto& store = h.make(/*demo=*/true);
    int told = 0;
    store.setOnPreferencesChange([&] { ++told; });
    store.start();
    EXPECT_EQ(h.state().selectedID, "demo-living");
    EXPECT_TRUE(h.state().playing);
    EXPECT_EQ(h.state().title, "Severance");
    EXPECT_EQ(h.state().app, "TV");
    EXPECT_EQ(h.state().power, "On");
    EXPECT_EQ(h.state().volume, 40);
    for (auto action : kAllRemoteActions) EXPECT_TRUE(store.can(action));
    EXPECT_EQ(h.state().savedDevices.size(), 2u);
    EXPECT_EQ(h.state().statuses.at("demo-bedroom").playingSince, 2);

    store.connect(h.state().savedDevices[1]);
    EXPECT_EQ(h.state().title, "The Bear");
    EXPECT_EQ(h.state().app, "Hulu");
    EXPECT_EQ(h.state().volume, std::nullopt);

    store.connect(TVDevice("demo-attic", "Attic"));  // no demo record
    EXPECT_FALSE(h.state().playing);
    EXPECT_EQ(h.state().title, "");
    EXPECT_EQ(h.state().power, "Unknown");
    EXPECT_TRUE(h.state().connected);

    store.setMediaKeys(false);
    store.setFollowPlaying(false);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(h.storedDefaults(), json({{"mediaKeys", true}}));
    EXPECT_EQ(h.state().statuses.size(), 2u) << "demo records stay";
}

TEST(AppStoreDemo, CommandsShowTheirEffectAndForgettingLeavesTheKeyringAlone) {
    SessionHarness h;
    auto& store = h.make(/*demo=*/true);
    auto send = [&](RemoteAction action, AppStore::CommandOptions options = {}) {
        bool result = false;
        store.send(action, std::move(options), [&](bool accepted) { result = accepted; });
        return result;
    };
    const bool wasPlaying = h.state().playing;
    EXPECT_TRUE(send(RemoteAction::playPause));
    EXPECT_EQ(h.state().playing, !wasPlaying);
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

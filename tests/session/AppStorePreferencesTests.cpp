// Preferences, the saved list, opening at login and demo mode of AppStore.

#include <gtest/gtest.h>

#include "SessionHarness.hpp"
#include "core/KeyboardShortcut.hpp"
#include "session/AppStore.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

const char* const kPreferenceKeys[] = {"mediaKeys",        "commandVolume", "followPlaying",
                                       "showsMenuBarIcon", "shortcutCode",  "shortcutModifiers",
                                       "shortcutLabel"};

TEST(AppStorePreferences, StoredValuesAndWhatFallsBack) {
    struct Case {
        const char* name;
        json stored;
        bool mediaKeys;
        std::uint32_t code;
        std::string label;
        std::size_t saved;
        std::string selected;
    };
    const std::vector<Case> cases = {
        {"empty", json::object(), true, 35, "Ctrl+Alt+Super+P", 0, ""},
        {"chosen",
         {{"mediaKeys", false},
          {"shortcutCode", 49},
          {"shortcutModifiers", 0x0100},
          {"shortcutLabel", "Super+Space"},
          {"pairedDevices", savedList({kLiving, kBedroom})},
          {"lastDevice", kBedroom.id}},
         false,
         49,
         "Super+Space",
         2,
         kBedroom.id},
        {"label not text",
         {{"shortcutCode", 49}, {"shortcutLabel", 7}},
         true,
         49,
         "Ctrl+Alt+Super+P",
         0,
         ""},
        {"code beyond 32 bits",
         {{"shortcutCode", 4294967296}, {"shortcutLabel", "Ctrl+Q"}},
         true,
         35,
         "Ctrl+Alt+Super+P",
         0,
         ""},
        {"negative mask",
         {{"shortcutModifiers", -1}, {"shortcutLabel", "Ctrl+Q"}},
         true,
         35,
         "Ctrl+Alt+Super+P",
         0,
         ""},
        {"an entry without protocols",
         {{"pairedDevices", json::parse(R"([{"id":"a","name":"A","protocols":[]},
                                            {"id":"b","name":"B"}])")}},
         true,
         35,
         "Ctrl+Alt+Super+P",
         0,
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SessionHarness h(c.stored);
        h.make();
        EXPECT_EQ(h.state().mediaKeys, c.mediaKeys);
        EXPECT_TRUE(h.state().commandVolume && h.state().followPlaying &&
                    h.state().showsMenuBarIcon);
        EXPECT_EQ(h.state().shortcutCode, c.code);
        EXPECT_EQ(h.state().shortcutLabel, c.label);
        EXPECT_EQ(h.state().savedDevices.size(), c.saved);
        EXPECT_EQ(h.state().selectedID, c.selected);
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

TEST(AppStoreDemo, StartsConnectedToTheLivingRoomAndNeedsNoBridge) {
    SessionHarness h;
    auto& store = h.make(/*demo=*/true);
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
}

TEST(AppStoreDemo, SwitchesTellTheShellButWriteNothing) {
    SessionHarness h(json{{"mediaKeys", true}});
    h.make(/*demo=*/true);
    int told = 0;
    h.store->setOnPreferencesChange([&] { ++told; });
    h.store->setMediaKeys(false);
    h.store->setFollowPlaying(false);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(h.storedDefaults(), json({{"mediaKeys", true}}));
    EXPECT_EQ(h.state().statuses.size(), 2u) << "demo records stay";
}

}  // namespace
}  // namespace orvel::test

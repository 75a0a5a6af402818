// What the settings show for a given session state: texts, enabled states and which parts
// show, and when a pairing that ends closes the TV list.

#include "shell/SettingsModel.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

const TVDevice kLiving{"sim:living-room", "Living Room"};
const TVDevice kBedroom{"roku:sim-bedroom", "Bedroom TV", {}};

SettingsModel model(const std::function<void(AppState&)>& change,
                    const SettingsModel::View& view = {}) {
    AppState state;
    change(state);
    return SettingsModel::make(state, view);
}

TEST(SettingsModel, SavedRowsSayWhatEachTVDoesAndOfferTheRightMenu) {
    const auto m = model([](AppState& s) {
        s.savedDevices = {kLiving, kBedroom};
        s.selectedID = kLiving.id;
        s.connected = true;
        for (auto& [tv, title] : {std::pair{kLiving, ""}, std::pair{kBedroom, "The Bear"}}) {
            TVStatus& status = s.statuses[tv.id];
            status.connected = status.playing = true;
            status.title = title;
        }
    });
    ASSERT_EQ(m.saved.size(), 2u);
    EXPECT_EQ(m.saved[0].playing, "Playing");
    EXPECT_EQ(m.saved[0].connectTitle, "Disconnect");
    EXPECT_EQ(m.saved[0].menuLabel, "Options for Living Room");
    EXPECT_EQ(m.saved[1].playing, "The Bear");
    EXPECT_EQ(m.saved[1].connectTitle, "Connect");
    EXPECT_FALSE(m.savedScrolls);

    const auto idle = model([](AppState& s) {
        s.savedDevices = {kLiving, kBedroom, {"sim:kitchen", "Kitchen"}};
        s.selectedID = kLiving.id;  // selected, but not connected
        s.pairingDevice = kBedroom;
    });
    EXPECT_EQ(idle.saved[0].connectTitle, "Connect");
    EXPECT_EQ(idle.saved[0].dot, SettingsModel::Dot::off);
    EXPECT_FALSE(idle.saved[0].playing);
    EXPECT_FALSE(idle.menusEnabled) << "no menu while a pairing runs";
    EXPECT_TRUE(idle.savedScrolls);
}

TEST(SettingsModel, PairCountsFourCharactersAndWaitsForThePendingStep) {
    const struct {
        std::string pin;
        bool busy;
        bool canPair;
    } cases[] = {{"123", false, false}, {"1234", false, true}, {"12345", false, false},
                 {"1234", true, false}, {"é1é2", false, true}, {"", false, false}};
    for (const auto& c : cases) {
        const auto m = model([&](AppState& s) {
            s.pairingDevice = kLiving;
            s.pairingPIN = c.pin;
            s.pairingBusy = c.busy;
        });
        ASSERT_TRUE(m.pairing);
        EXPECT_EQ(m.pairing->canPair, c.canPair) << c.pin << " busy " << c.busy;
        EXPECT_EQ(m.pairing->prompt, "Enter the code shown on Living Room");
        EXPECT_FALSE(m.nearbyShown);
    }
}

TEST(SettingsModel, NearbyListsOnlyUnsavedTVsOnTheTVsTab) {
    const auto m = model([](AppState& s) {
        s.settingsTab = "tvs";
        s.devices = {kLiving, kBedroom};
        s.savedDevices = {kLiving};
        s.scanNotice = "Apple TVs are found only while the Avahi daemon runs.";
    });
    EXPECT_EQ(m.nearbyNotice, "Apple TVs are found only while the Avahi daemon runs.");
    EXPECT_EQ(m.tvsButton, "Done");
    EXPECT_TRUE(m.nearbyShown);
    ASSERT_EQ(m.nearby.size(), 1u);
    EXPECT_EQ(m.nearby[0].kind, "Roku");
    EXPECT_EQ(m.nearbyHeading, "Nearby");
    EXPECT_FALSE(m.nearbyEmpty);

    const auto scanning = model([](AppState& s) {
        s.settingsTab = "tvs";
        s.scanning = true;
        s.devices = {kLiving};
        s.scanNotice = "stale";
    });
    EXPECT_EQ(scanning.nearbyNotice, "") << "a scan under way has not said yet";
    EXPECT_EQ(scanning.nearby[0].kind, "Apple TV");
    EXPECT_EQ(scanning.nearbyHeading, "Finding TVs…");

    const auto general = model([](AppState& s) { s.scanning = false; });
    EXPECT_EQ(general.tvsButton, "Pair New…");
    EXPECT_FALSE(general.nearbyShown);
    EXPECT_TRUE(general.nearbyEmpty) << "no TV and no scan";
}

TEST(SettingsModel, MediaKeyLineSaysTheStepAndNeverShowsInDemoMode) {
    const struct {
        KeyboardAccess access;
        bool demo;
        std::string button;
        std::string text;
    } cases[] = {
        {KeyboardAccess::needsPermission, false, SettingsModel::kAskDesktop, ""},
        {KeyboardAccess::unavailable, false, "", "Keyboard capture failed. Quit and reopen Orvel."},
        {KeyboardAccess::unavailable, true, "", ""},
        {KeyboardAccess::needsPermission, true, "", ""},
        {KeyboardAccess::ready, false, "", ""},
    };
    for (const auto& c : cases) {
        const auto m = model([&](AppState& s) { s.keyboardAccess = c.access; }, {.demo = c.demo});
        EXPECT_EQ(m.access.button, c.button) << rawValue(c.access) << c.demo;
        EXPECT_EQ(m.access.text, c.text) << rawValue(c.access) << c.demo;
    }
}

TEST(SettingsModel, PreferencesShortcutInstallAndStorageTexts) {
    const auto m = model(
        [](AppState& s) {
            s.showsMenuBarIcon = false;
            s.showsInMediaControls = false;
            s.shortcutLabel = "Ctrl+Alt+K";
            s.recordingShortcut = true;
            s.credentialStorage = "Pairing credentials are kept in your keyring.";
            s.storageProblems = {"Settings could not be saved."};
        },
        {.installNote = "Installed at /home/u/.local/bin/orvel."});
    EXPECT_EQ(m.trayHint, "Open the remote with Ctrl+Alt+K, or by opening Orvel again.");
    EXPECT_FALSE(m.mediaControls);
    EXPECT_EQ(m.shortcutButton, "Press shortcut…");
    EXPECT_EQ(m.installButton, "Reinstall");
    EXPECT_EQ(m.installNote, "Installed at /home/u/.local/bin/orvel.");
    EXPECT_EQ(m.storage, (std::vector<std::string>{"Pairing credentials are kept in your keyring.",
                                                   "Settings could not be saved."}));

    const auto fresh = model([](AppState&) {}, {.aboutExpanded = true});
    EXPECT_EQ(fresh.trayHint, "");
    EXPECT_TRUE(fresh.mediaControls) << "on by default";
    EXPECT_EQ(fresh.shortcutButton, "Ctrl+Alt+Super+P");
    EXPECT_EQ(fresh.installButton, "Install");
    EXPECT_EQ(fresh.installNote, SettingsModel::kInstallHint);
    EXPECT_EQ(fresh.aboutButton, "Hide About");
    EXPECT_EQ(fresh.aboutTitle.rfind("Orvel Remote · ", 0), 0u);
}

TEST(SettingsModel, OnlyAPairingThatEndsWithoutAnErrorClosesTheList) {
    AppState pairing;
    pairing.pairingDevice = kLiving;
    AppState done;
    AppState failed;
    failed.error = "The code was wrong.";
    EXPECT_TRUE(SettingsModel::pairingEnded(pairing, done));
    EXPECT_FALSE(SettingsModel::pairingEnded(pairing, failed));
    EXPECT_FALSE(SettingsModel::pairingEnded(done, done));
    EXPECT_FALSE(SettingsModel::pairingEnded(pairing, pairing));
}

}  // namespace
}  // namespace orvel

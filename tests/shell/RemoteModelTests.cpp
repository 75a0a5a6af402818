// What the remote shows, rule by rule, from published states made up here.

#include "shell/RemoteModel.hpp"

#include <set>

#include <gtest/gtest.h>

namespace orvel {
namespace {

using Can = std::set<RemoteAction>;

const TVDevice kDen{"sim:den", "Den", {"Companion"}};
const TVDevice kAttic{"roku:attic", "Attic", {}};

RemoteModel modelOf(const AppState& state, const Can& can = {}, std::string_view kind = "TV") {
    return RemoteModel::make(state, kind,
                             [&can](RemoteAction action) { return can.contains(action); });
}

AppState connectedTo(const TVDevice& device) {
    AppState state;
    state.savedDevices = {kDen, kAttic};
    state.selectedID = device.id;
    state.connected = true;
    return state;
}

TEST(RemoteModel, PickerNamesTheSelectedTVElseAsksToChooseOrPair) {
    AppState none;
    EXPECT_EQ(modelOf(none).pickerTitle, "Pair a TV");
    EXPECT_EQ(modelOf(none).status.text, "No TV paired yet");
    EXPECT_TRUE(modelOf(none).pickerEntries.empty());

    AppState saved;
    saved.savedDevices = {kDen, kAttic};
    saved.selectedID = "sim:gone";  // not a saved TV any more
    EXPECT_EQ(modelOf(saved).pickerTitle, "Choose a TV");
    EXPECT_EQ(modelOf(saved).status.text, "Not connected");
    EXPECT_EQ(modelOf(saved).status.help, "Status: Not connected");

    saved.selectedID = kAttic.id;
    EXPECT_EQ(modelOf(saved).pickerTitle, "Attic");
}

TEST(RemoteModel, PickerMarksTheSelectedTVAndTheOthersThatPlay) {
    AppState state = connectedTo(kAttic);
    state.statuses[kDen.id].playing = true;
    state.statuses[kAttic.id].playing = true;
    auto entries = modelOf(state).pickerEntries;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Den");
    EXPECT_EQ(entries[0].symbol, "play.fill");
    EXPECT_EQ(entries[1].symbol, "checkmark");  // selected wins over playing

    state.statuses[kDen.id].playing = false;
    EXPECT_EQ(modelOf(state).pickerEntries[0].symbol, "");
}

TEST(RemoteModel, StatusFollowsItsOrder) {
    struct Case {
        bool connecting, connected, playing;
        std::string title, app, symbol, text;
    };
    const Case cases[] = {
        {true, true, true, "Show", "App", "", "Connecting…"},
        {false, true, true, "Show", "App", "play.fill", "Show"},
        {false, true, false, "Show", "App", "pause.fill", "Show"},
        {false, true, true, "", "App", "", "App"},
        {false, true, true, "", "", "", "Connected"},
        {false, false, true, "Show", "App", "", "Not connected"},
    };
    for (const auto& c : cases) {
        AppState state = connectedTo(kDen);
        state.connecting = c.connecting;
        state.connected = c.connected;
        state.playing = c.playing;
        state.title = c.title;
        state.app = c.app;
        const auto status = modelOf(state).status;
        EXPECT_EQ(status.symbol, c.symbol) << c.text;
        EXPECT_EQ(status.text, c.text);
        EXPECT_EQ(status.help, "Status: " + c.text);
    }
}

TEST(RemoteModel, PowerWakesOrSleepsByWhatTheTVCanAndItsPower) {
    struct Case {
        std::string power;
        Can can;
        RemoteAction action;
        bool on;
    };
    const Case cases[] = {
        {"On", {RemoteAction::wake}, RemoteAction::wake, true},  // cannot sleep
        {"On", {RemoteAction::sleep, RemoteAction::wake}, RemoteAction::sleep, true},
        {"Off", {RemoteAction::sleep}, RemoteAction::sleep, false},  // cannot wake
        {"Off", {RemoteAction::sleep, RemoteAction::wake}, RemoteAction::wake, false},
        {"Unknown", {RemoteAction::sleep, RemoteAction::wake}, RemoteAction::wake, false},
    };
    for (const auto& c : cases) {
        AppState state = connectedTo(kDen);
        state.power = c.power;
        const auto power = modelOf(state, c.can, "Apple TV").power;
        EXPECT_EQ(power.action, c.action) << c.power;
        EXPECT_EQ(power.on, c.on);
        EXPECT_TRUE(power.enabled);
    }
    AppState off = connectedTo(kDen);
    off.connected = false;
    off.power = "On";  // the last report of a TV no longer connected
    EXPECT_FALSE(modelOf(off).power.on);
    EXPECT_FALSE(modelOf(off).power.enabled);
}

TEST(RemoteModel, PowerHelpAndMenuNameTheKind) {
    AppState appleTV = connectedTo(kDen);
    appleTV.power = "On";
    auto power = modelOf(appleTV, {RemoteAction::sleep, RemoteAction::wake}, "Apple TV").power;
    EXPECT_EQ(power.help, "Sleep Apple TV");

    AppState roku = connectedTo(kAttic);
    roku.power = "Off";
    power = modelOf(roku, {RemoteAction::wake}, "Roku").power;
    EXPECT_EQ(power.help, "Wake Roku");
    EXPECT_EQ(power.menu[0].title, "Wake Roku");
    EXPECT_TRUE(power.menu[0].enabled);
    EXPECT_EQ(power.menu[1].title, "Sleep Roku");
    EXPECT_FALSE(power.menu[1].enabled);
}

TEST(RemoteModel, MiddleTransportButtonPrefersPlayPause) {
    struct Case {
        bool playing;
        Can can;
        RemoteAction action;
        std::string symbol, help;
        bool enabled;
    };
    const Case cases[] = {
        {true, {RemoteAction::playPause}, RemoteAction::playPause, "pause.fill", "Pause", true},
        {false, {RemoteAction::playPause}, RemoteAction::playPause, "play.fill", "Play", true},
        {true,
         {RemoteAction::play, RemoteAction::pause},
         RemoteAction::pause,
         "pause.fill",
         "Pause",
         true},
        {false,
         {RemoteAction::play, RemoteAction::pause},
         RemoteAction::play,
         "play.fill",
         "Play",
         true},
        {false, {RemoteAction::pause}, RemoteAction::play, "play.fill", "Play", false},
    };
    for (const auto& c : cases) {
        AppState state = connectedTo(kDen);
        state.playing = c.playing;
        const auto middle = modelOf(state, c.can).transport[2];
        EXPECT_EQ(middle.action, c.action) << c.help;
        EXPECT_EQ(middle.symbol, c.symbol);
        EXPECT_EQ(middle.help, c.help);
        EXPECT_EQ(middle.enabled, c.enabled);
    }
}

TEST(RemoteModel, EachButtonIsEnabledByItsOwnAction) {
    const auto model = modelOf(connectedTo(kDen), {RemoteAction::skipForward, RemoteAction::left,
                                                   RemoteAction::volumeUp, RemoteAction::home});
    EXPECT_FALSE(model.transport[1].enabled);
    EXPECT_TRUE(model.transport[3].enabled);
    EXPECT_EQ(model.transport[3].help, "Seek forward 10 seconds");
    EXPECT_TRUE(model.volumeUp.enabled);
    EXPECT_FALSE(model.volumeDown.enabled);
    EXPECT_FALSE(model.mute.enabled);
    for (const auto& button : model.pad) {
        const bool expected =
            button.action == RemoteAction::left || button.action == RemoteAction::home;
        EXPECT_EQ(button.enabled, expected) << button.help;
    }
    EXPECT_FALSE(model.text.enabled);
    EXPECT_TRUE(model.settings.enabled);
    EXPECT_TRUE(modelOf(connectedTo(kDen), {RemoteAction::text}).text.enabled);
}

TEST(RemoteModel, MuteSymbolAndVolumeTextFollowTheLevel) {
    struct Case {
        std::optional<double> volume;
        std::string symbol, text;
    };
    const Case cases[] = {
        {std::nullopt, "speaker.wave.2.fill", "Volume"},
        {0.0, "speaker.slash.fill", "Volume 0"},
        {0.4, "speaker.wave.2.fill", "Volume 0"},  // only exactly 0 is silent
        {39.6, "speaker.wave.2.fill", "Volume 40"},
        {100.0, "speaker.wave.2.fill", "Volume 100"},
    };
    for (const auto& c : cases) {
        AppState state = connectedTo(kDen);
        state.volume = c.volume;
        const auto model = modelOf(state);
        EXPECT_EQ(model.mute.symbol, c.symbol) << c.text;
        EXPECT_EQ(model.volumeText, c.text);
    }
}

TEST(RemoteModel, RowsFollowTheViewStateAndTheKind) {
    AppState state = connectedTo(kAttic);
    auto model = modelOf(state, {}, "Roku");
    EXPECT_EQ(model.navigation.title, "Show navigation");
    EXPECT_FALSE(model.navigationExpanded);
    EXPECT_EQ(model.text.title, "Type on Roku");
    EXPECT_EQ(model.text.trailing, "Ctrl+K");
    EXPECT_EQ(model.textPlaceholder, "Type on Roku");
    EXPECT_EQ(model.settings.title, "Orvel Settings…");
    EXPECT_EQ(model.settings.trailing, "Ctrl+,");
    EXPECT_FALSE(model.textEntryVisible);

    state.navigationExpanded = true;
    state.textEntryVisible = true;
    state.error = "The TV did not answer.";
    model = modelOf(state, {}, "Roku");
    EXPECT_EQ(model.navigation.title, "Hide navigation");
    EXPECT_TRUE(model.navigationExpanded);
    EXPECT_TRUE(model.textEntryVisible);
    EXPECT_EQ(model.error, "The TV did not answer.");
}

TEST(RemoteModel, TheErrorLineShowsTheErrorElseTheTVsNotice) {
    struct Case {
        std::string error, notice, shown;
    };
    const Case cases[] = {
        {"", "", ""},
        {"", "This Roku blocks remote apps.", "This Roku blocks remote apps."},
        {"The TV did not answer.", "This Roku blocks remote apps.", "The TV did not answer."},
    };
    for (const auto& c : cases) {
        AppState state = connectedTo(kAttic);
        state.error = c.error;
        state.notice = c.notice;
        EXPECT_EQ(modelOf(state).error, c.shown) << c.error << " / " << c.notice;
    }
}

TEST(RemoteModel, AppsRowNeedsAConnectedTVThatLaunchesApps) {
    struct Case {
        bool connected;
        Can can;
        bool enabled;
    };
    for (const Case& c : {Case{true, {RemoteAction::launchApp}, true}, Case{true, {}, false},
                          Case{false, {RemoteAction::launchApp}, false}}) {
        AppState state = connectedTo(kAttic);
        state.connected = c.connected;
        const auto row = modelOf(state, c.can, "Roku").apps;
        EXPECT_EQ(row.enabled, c.enabled) << c.connected << " " << c.can.size();
        EXPECT_EQ(row.title, "Open App…");
        EXPECT_EQ(row.help, "Open an app on Roku");
    }
}

}  // namespace
}  // namespace orvel

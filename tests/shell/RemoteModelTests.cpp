// What the remote shows, rule by rule, from published states made up here.

#include "shell/RemoteModel.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using Can = std::set<RemoteAction>;
using A = RemoteAction;

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
    const struct {
        bool connecting, connected, playing;
        std::string title, app, symbol, text;
    } cases[] = {
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
    const struct {
        std::string power;
        Can can;
        A action;
        bool on;
        std::string help;
    } cases[] = {
        {"On", {A::wake}, A::wake, true, "Wake Apple TV"},  // cannot sleep
        {"On", {A::sleep, A::wake}, A::sleep, true, "Sleep Apple TV"},
        {"Off", {A::sleep}, A::sleep, false, "Sleep Apple TV"},  // cannot wake
        {"Off", {A::sleep, A::wake}, A::wake, false, "Wake Apple TV"},
        {"Unknown", {A::sleep, A::wake}, A::wake, false, "Wake Apple TV"},
    };
    for (const auto& c : cases) {
        AppState state = connectedTo(kDen);
        state.power = c.power;
        const auto power = modelOf(state, c.can, "Apple TV").power;
        EXPECT_EQ(power.action, c.action) << c.power;
        EXPECT_EQ(power.on, c.on);
        EXPECT_TRUE(power.enabled);
        EXPECT_EQ(power.help, c.help);
        EXPECT_EQ(power.menu[0].title, "Wake Apple TV");
        EXPECT_EQ(power.menu[0].enabled, c.can.contains(A::wake));
        EXPECT_EQ(power.menu[1].enabled, c.can.contains(A::sleep));
    }
    AppState off = connectedTo(kDen);
    off.connected = false;
    off.power = "On";  // the last report of a TV no longer connected
    EXPECT_FALSE(modelOf(off).power.on);
    EXPECT_FALSE(modelOf(off).power.enabled);
}

TEST(RemoteModel, MiddleTransportButtonPrefersPlayPause) {
    const struct {
        bool playing;
        Can can;
        A action;
        std::string symbol, help;
        bool enabled;
    } cases[] = {
        {true, {A::playPause}, A::playPause, "pause.fill", "Pause", true},
        {false, {A::playPause}, A::playPause, "play.fill", "Play", true},
        {true, {A::play, A::pause}, A::pause, "pause.fill", "Pause", true},
        {false, {A::play, A::pause}, A::play, "play.fill", "Play", true},
        {false, {A::pause}, A::play, "play.fill", "Play", false},
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
    const auto model = modelOf(connectedTo(kDen), {A::skipForward, A::left, A::volumeUp, A::home});
    EXPECT_FALSE(model.transport[1].enabled);
    EXPECT_TRUE(model.transport[3].enabled);
    EXPECT_EQ(model.transport[3].help, "Seek forward 10 seconds");
    EXPECT_TRUE(model.volumeUp.enabled);
    EXPECT_FALSE(model.volumeDown.enabled);
    EXPECT_FALSE(model.mute.enabled);
    for (const auto& button : model.pad) {
        EXPECT_EQ(button.enabled, button.action == A::left || button.action == A::home)
            << button.help;
    }
    EXPECT_FALSE(model.text.enabled);
    EXPECT_TRUE(model.settings.enabled);
    EXPECT_TRUE(modelOf(connectedTo(kDen), {A::text}).text.enabled);
    // Launching also needs the TV connected.
    EXPECT_TRUE(modelOf(connectedTo(kDen), {A::launchApp}).apps.enabled);
    AppState offline = connectedTo(kDen);
    offline.connected = false;
    EXPECT_FALSE(modelOf(offline, {A::launchApp}).apps.enabled);
}

TEST(RemoteModel, MuteSymbolAndVolumeTextFollowTheLevel) {
    const struct {
        std::optional<double> volume;
        std::string symbol, text;
    } cases[] = {
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

TEST(RemoteModel, TheErrorLineShowsTheErrorElseTheTVsNotice) {
    const struct {
        std::string error, notice, shown;
    } cases[] = {
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

}  // namespace
}  // namespace orvel

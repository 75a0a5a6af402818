// What the open remote does with each key, click and scroll: the remote's keys reach the TV only
// while the panel has the keyboard and nothing is typed, Escape and Ctrl+K work while typing,
// scrolling moves the focus once per flick, and shortcut recording belongs to the settings.

#include "shell/RemoteInput.hpp"

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "core/KeyboardShortcut.hpp"

namespace orvel::RemoteInput {
namespace {

constexpr std::uint32_t kCtrl = KeyboardShortcut::kCtrl;
constexpr std::uint32_t kShift = KeyboardShortcut::kShift;
constexpr std::uint32_t kAlt = KeyboardShortcut::kAlt;
constexpr std::uint16_t kUp = 126;
constexpr std::uint16_t kSpace = 49;
constexpr std::uint16_t kDelete = 51;

// The panel shown and key, a TV connected that can move, select, go back and play.
Context remote() {
    Context c;
    c.panelVisible = true;
    c.panelActive = true;
    c.connected = true;
    c.capabilities = {RemoteAction::up,       RemoteAction::down,   RemoteAction::left,
                      RemoteAction::right,    RemoteAction::select, RemoteAction::back,
                      RemoteAction::playPause};
    c.lastScroll = 100;
    return c;
}

Event event(Kind kind, Window window = Window::panel) {
    Event e;
    e.kind = kind;
    e.window = window;
    return e;
}

Event key(std::uint16_t code, std::uint32_t modifiers = 0, Window window = Window::panel) {
    Event e = event(Kind::keyDown, window);
    e.keyCode = code;
    e.modifiers = modifiers;
    return e;
}

Event scroll(double dx, double dy, std::uint32_t modifiers = 0) {
    Event e = event(Kind::scroll);
    e.modifiers = modifiers;
    e.dx = dx;
    e.dy = dy;
    e.time = 101;
    return e;
}

Verdict verdict(Effect effect, bool swallow, std::optional<RemoteAction> action = std::nullopt,
                std::optional<double> lastScroll = std::nullopt) {
    Verdict v;
    v.effect = effect;
    v.swallow = swallow;
    v.action = action;
    v.lastScroll = lastScroll;
    return v;
}

const Verdict kPass = verdict(Effect::none, false);
Verdict swallowed(Effect effect) {
    return verdict(effect, true);
}
Verdict sends(RemoteAction action, std::optional<double> lastScroll = std::nullopt) {
    return verdict(Effect::send, true, action, lastScroll);
}

struct Case {
    std::string name;
    Event event;
    std::function<void(Context&)> around;
    Verdict expected;
};

class Decide : public ::testing::TestWithParam<Case> {};

TEST_P(Decide, Verdict) {
    const auto& c = GetParam();
    Context context = remote();
    if (c.around) c.around(context);
    EXPECT_EQ(decide(c.event, context), c.expected);
}

void editing(Context& c) {
    c.editingText = true;
}
void recording(Context& c) {
    c.recordingShortcut = true;
    c.settingsWindowExists = true;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Decide,
    ::testing::Values(
        Case{"UpSendsUp", key(kUp), {}, sends(RemoteAction::up)},
        Case{"ReturnSelects", key(36), {}, sends(RemoteAction::select)},
        Case{"ForwardDeleteGoesBack", key(117), {}, sends(RemoteAction::back)},
        Case{"PanelNotActive", key(kUp), [](Context& c) { c.panelActive = false; }, kPass},
        Case{"PanelHidden", key(kUp), [](Context& c) { c.panelVisible = false; }, kPass},
        Case{"OtherWindow", key(kUp, 0, Window::other), {}, kPass},
        Case{"ArrowWhileEditing", key(kUp), editing, kPass},
        Case{"SpaceWhileEditing", key(kSpace), editing, kPass},
        Case{"DeleteWhileEditing", key(kDelete), editing, kPass},
        Case{"EscapeWhileEditing", key(kEscape), editing, swallowed(Effect::close)},
        Case{"EscapeWithModifiers", key(kEscape, kShift | kCtrl), {}, swallowed(Effect::close)},
        Case{"CtrlKWhileEditing", key(kKeyK, kCtrl), editing, swallowed(Effect::focusText)},
        Case{"CtrlShiftKIsNotCtrlK", key(kKeyK, kCtrl | kShift), {}, kPass},
        Case{"CtrlComma", key(kComma, kCtrl), {}, swallowed(Effect::showSettings)},
        Case{"ShiftUpPasses", key(kUp, kShift), {}, kPass},
        Case{"NotConnected", key(kUp), [](Context& c) { c.connected = false; }, kPass},
        Case{"EscapeNotConnected", key(kEscape), [](Context& c) { c.connected = false; },
             swallowed(Effect::close)},
        Case{"UnknownKey", event(Kind::keyDown), {}, kPass},
        Case{"UnsupportedAction", key(kUp), [](Context& c) { c.capabilities = {}; }, kPass},
        Case{"SpacePausesWhilePlaying", key(kSpace),
             [](Context& c) {
                 c.capabilities = {RemoteAction::play, RemoteAction::pause};
                 c.playing = true;
             },
             sends(RemoteAction::pause)},
        Case{"SpacePlaysWhilePaused", key(kSpace),
             [](Context& c) {
                 c.capabilities = {RemoteAction::play, RemoteAction::pause};
             },
             sends(RemoteAction::play)},
        Case{"SpaceWithPlayOnlyWhilePlaying", key(kSpace),
             [](Context& c) {
                 c.capabilities = {RemoteAction::play};
                 c.playing = true;
             },
             kPass},
        Case{"MenuTracking", key(kEscape), [](Context& c) { c.menuTracking = true; }, kPass}),
    [](const auto& each) { return each.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Recording, Decide,
    ::testing::Values(
        Case{"InSettings", key(kKeyK, kCtrl | kAlt, Window::settings), recording,
             swallowed(Effect::recordShortcut)},
        Case{"InPanelIsNotRecorded", key(kKeyK, kCtrl | kAlt), recording, kPass},
        Case{"NoWindowAndNoSettings", key(kKeyK, kCtrl | kAlt, Window::none),
             [](Context& c) { c.recordingShortcut = true; }, swallowed(Effect::recordShortcut)},
        Case{"NoWindowWhileSettingsExist", key(kKeyK, kCtrl | kAlt, Window::none), recording,
             kPass},
        Case{"EvenWhileMenuTracking", key(kKeyK, kCtrl | kAlt, Window::settings),
             [](Context& c) {
                 recording(c);
                 c.menuTracking = true;
             },
             swallowed(Effect::recordShortcut)},
        Case{"KeyWithoutCodeIsKeptFromSettings", event(Kind::keyDown, Window::settings), recording,
             swallowed(Effect::none)},
        Case{"ClickInSettingsPasses", event(Kind::mouseDown, Window::settings), recording, kPass},
        Case{"EscapeInPanelStillCloses", key(kEscape), recording, swallowed(Effect::close)}),
    [](const auto& each) { return each.param.name; });

INSTANTIATE_TEST_SUITE_P(Clicks, Decide,
                         ::testing::Values(Case{"InPanel",
                                                event(Kind::mouseDown),
                                                {},
                                                verdict(Effect::panelClick, false)},
                                           Case{"InPanelWhileEditing", event(Kind::mouseDown),
                                                editing, verdict(Effect::panelClick, false)},
                                           Case{"PanelNotActive", event(Kind::mouseDown),
                                                [](Context& c) { c.panelActive = false; }, kPass}),
                         [](const auto& each) { return each.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Scrolling, Decide,
    ::testing::Values(
        Case{"SwipeLeftSendsRight", scroll(-3, 1), {}, sends(RemoteAction::right, 101)},
        Case{"SwipeRightSendsLeft", scroll(2, 0), {}, sends(RemoteAction::left, 101)},
        Case{"UpSendsUp", scroll(0, 1), {}, sends(RemoteAction::up, 101)},
        Case{"DownSendsDown", scroll(0, -1), {}, sends(RemoteAction::down, 101)},
        Case{"TieGoesVertical", scroll(-1, 1), {}, sends(RemoteAction::up, 101)},
        Case{"SmallDeltaPasses", scroll(0, 0.4), {}, kPass},
        Case{"HalfIsStillSmall", scroll(0.5, 0), {}, kPass},
        Case{"AltPasses", scroll(0, 1, kAlt), {}, kPass},
        Case{"EditingPasses", scroll(0, 1), editing, kPass},
        Case{"NotConnectedPasses", scroll(0, 1), [](Context& c) { c.connected = false; }, kPass},
        Case{"WithinTheFlickIsSwallowed", scroll(0, 1), [](Context& c) { c.lastScroll = 100.9; },
             swallowed(Effect::none)},
        Case{"FirstScrollEver", scroll(0, 1), [](Context& c) { c.lastScroll.reset(); },
             sends(RemoteAction::up, 101)},
        Case{"ClockWentBack", scroll(0, 1), [](Context& c) { c.lastScroll = 5000; },
             sends(RemoteAction::up, 101)}),
    [](const auto& each) { return each.param.name; });

TEST(RemoteInput, BurstOfScrollsSendsOneStep) {
    Context context = remote();
    int sent = 0;
    for (int i = 0; i < 20; ++i) {
        Event event = scroll(0, 3);
        event.time = 200 + i * 0.005;
        const auto verdict = decide(event, context);
        EXPECT_TRUE(verdict.swallow);
        if (verdict.lastScroll) context.lastScroll = verdict.lastScroll;
        sent += verdict.effect == Effect::send;
    }
    EXPECT_EQ(sent, 1);
    Event later = scroll(0, 3);
    later.time = 200.13;
    EXPECT_EQ(decide(later, context).effect, Effect::send) << "the next flick moves again";
}

}  // namespace
}  // namespace orvel::RemoteInput

// What the open remote does with each key, click and scroll. Which key is whose, and the play
// fallback, are InputPolicy's and tested with it.

#include "shell/RemoteInput.hpp"

#include <gtest/gtest.h>

#include "core/KeyboardShortcut.hpp"

namespace orvel::RemoteInput {
namespace {

constexpr std::uint32_t kCtrl = KeyboardShortcut::kCtrl;
constexpr std::uint32_t kShift = KeyboardShortcut::kShift;
constexpr std::uint32_t kAlt = KeyboardShortcut::kAlt;
constexpr std::uint16_t kUp = 126;
constexpr std::uint16_t kSpace = 49;

using Around = void (*)(Context&);
constexpr Around asIs = [](Context&) {};
constexpr Around editing = [](Context& c) { c.editingText = true; };
constexpr Around inactive = [](Context& c) { c.panelActive = false; };
constexpr Around disconnected = [](Context& c) { c.connected = false; };
constexpr Around tracking = [](Context& c) { c.menuTracking = true; };
constexpr Around recording = [](Context& c) {
    c.recordingShortcut = c.settingsWindowExists = true;
};
constexpr Around recordingNoSettings = [](Context& c) { c.recordingShortcut = true; };
constexpr Around recordingTracking = [](Context& c) { recording(c), tracking(c); };
constexpr Around playingPlayPause = [](Context& c) {
    c.capabilities = {RemoteAction::play, RemoteAction::pause}, c.playing = true;
};
constexpr Around justScrolled = [](Context& c) { c.lastScroll = 100.9; };
constexpr Around aFlickAgo = [](Context& c) { c.lastScroll = 100.87; };
constexpr Around neverScrolled = [](Context& c) { c.lastScroll.reset(); };
constexpr Around clockWentBack = [](Context& c) { c.lastScroll = 5000; };

// The panel shown and key, a TV connected that can move and play, last scrolled at 100.
Context remote(Around around) {
    Context c;
    c.panelVisible = c.panelActive = c.connected = true;
    c.capabilities = {RemoteAction::up, RemoteAction::down, RemoteAction::left, RemoteAction::right,
                      RemoteAction::playPause};
    c.lastScroll = 100;
    around(c);
    return c;
}

Event event(Kind kind, Window window = Window::panel) {
    return {.kind = kind, .window = window};
}
Event key(std::uint16_t code, std::uint32_t modifiers = 0, Window window = Window::panel) {
    return {.kind = Kind::keyDown, .window = window, .keyCode = code, .modifiers = modifiers};
}
Event scroll(double dx, double dy, std::uint32_t modifiers = 0) {
    return {.kind = Kind::scroll,
            .window = Window::panel,
            .modifiers = modifiers,
            .dx = dx,
            .dy = dy,
            .time = 101};
}

const Verdict kPass{};
Verdict swallowed(Effect effect) {
    return {.effect = effect, .swallow = true};
}
Verdict sends(RemoteAction action) {
    return {.effect = Effect::send, .swallow = true, .action = action};
}
Verdict steps(RemoteAction action) {
    return {.effect = Effect::send, .swallow = true, .action = action, .lastScroll = 101};
}

struct Case {
    const char* name;
    Event event;
    Around around;
    Verdict expected;
};

const Case kCases[] = {
    {"UpSendsUp", key(kUp), asIs, sends(RemoteAction::up)},
    {"PanelNotKey", key(kUp), inactive, kPass},
    {"OtherWindow", key(kUp, 0, Window::other), asIs, kPass},
    {"ArrowWhileEditing", key(kUp), editing, kPass},
    {"EscapeWhileEditing", key(kEscape), editing, swallowed(Effect::close)},
    {"EscapeWithModifiers", key(kEscape, kShift | kCtrl), asIs, swallowed(Effect::close)},
    {"CtrlKWhileEditing", key(kKeyK, kCtrl), editing, swallowed(Effect::focusText)},
    {"CtrlShiftKIsNotCtrlK", key(kKeyK, kCtrl | kShift), asIs, kPass},
    {"CtrlComma", key(kComma, kCtrl), asIs, swallowed(Effect::showSettings)},
    {"ShiftUp", key(kUp, kShift), asIs, kPass},
    {"NotConnected", key(kUp), disconnected, kPass},
    {"KeyWithoutCode", event(Kind::keyDown), asIs, kPass},
    {"SpacePausesWhilePlaying", key(kSpace), playingPlayPause, sends(RemoteAction::pause)},
    {"MenuTracking", key(kEscape), tracking, kPass},
    {"ClickInPanel", event(Kind::mouseDown), asIs, Verdict{.effect = Effect::panelClick}},
    {"ClickInPanelNotKey", event(Kind::mouseDown), inactive, kPass},
    // Recording a shortcut
    {"RecordInSettings", key(kKeyK, kCtrl | kAlt, Window::settings), recording,
     swallowed(Effect::recordShortcut)},
    {"NotRecordedInPanel", key(kKeyK, kCtrl | kAlt), recording, kPass},
    {"RecordWithNoWindows", key(kKeyK, kCtrl, Window::none), recordingNoSettings,
     swallowed(Effect::recordShortcut)},
    {"RecordWhileMenuTracking", key(kKeyK, kCtrl | kAlt, Window::settings), recordingTracking,
     swallowed(Effect::recordShortcut)},
    {"KeyWithoutCodeKeptFromSettings", event(Kind::keyDown, Window::settings), recording,
     swallowed(Effect::none)},
    {"ClickWhileRecording", event(Kind::mouseDown, Window::settings), recording, kPass},
    // Scrolling
    {"SwipeLeftSendsRight", scroll(-3, 1), asIs, steps(RemoteAction::right)},
    {"SwipeRightSendsLeft", scroll(2, 0), asIs, steps(RemoteAction::left)},
    {"ScrollUp", scroll(0, 1), asIs, steps(RemoteAction::up)},
    {"ScrollDown", scroll(0, -1), asIs, steps(RemoteAction::down)},
    {"TieGoesVertical", scroll(-1, 1), asIs, steps(RemoteAction::up)},
    {"SmallDelta", scroll(0, 0.4), asIs, kPass},
    {"AltHeld", scroll(0, 1, kAlt), asIs, kPass},
    {"ScrollWhileEditing", scroll(0, 1), editing, kPass},
    {"WithinTheFlick", scroll(0, 1), justScrolled, swallowed(Effect::none)},
    {"TheNextFlick", scroll(0, 1), aFlickAgo, steps(RemoteAction::up)},
    {"FirstScrollEver", scroll(0, 1), neverScrolled, steps(RemoteAction::up)},
    {"ClockWentBack", scroll(0, 1), clockWentBack, steps(RemoteAction::up)},
};

TEST(RemoteInput, Verdicts) {
    for (const auto& c : kCases) EXPECT_EQ(decide(c.event, remote(c.around)), c.expected) << c.name;
}

}  // namespace
}  // namespace orvel::RemoteInput

#pragma once
// RemoteInput: what the open remote does with one key press, mouse press or scroll of the
// application: record it as the new shortcut, close the remote, open text entry or the
// settings, send a remote action to the TV, or let it go on to its window. Pure: the caller
// says what the event is and the state around it, and carries out the verdict (RemoteController
// does, from an event filter on the application).
//
//   auto verdict = RemoteInput::decide({.kind = Kind::keyDown, .keyCode = 126, ...}, context);
//   if (verdict.effect == RemoteInput::Effect::send) store.send(*verdict.action);
//
// Any thread; nothing to own or end. Key codes and modifier masks are the stored vocabulary
// (macOS virtual key codes, KeyboardShortcut's bits); QtKeyCodes translates Qt's.

#include <cstdint>
#include <optional>
#include <set>

#include "core/RemoteAction.hpp"

namespace orvel::RemoteInput {

enum class Kind { keyDown, mouseDown, scroll, other };

// The window an event is for.
enum class Window { none, panel, settings, other };

struct Event {
    Kind kind = Kind::other;
    Window window = Window::none;
    // Key-down only; nothing for a key the vocabulary has no code for.
    std::optional<std::uint16_t> keyCode = std::nullopt;
    std::uint32_t modifiers = 0;  // Shift, Ctrl, Alt and Super only
    double dx = 0;                // scroll only; positive: left and up
    double dy = 0;
    double time = 0;  // uptime seconds
};

struct Context {
    bool recordingShortcut = false;
    bool settingsWindowExists = false;
    bool panelVisible = false;
    bool panelActive = false;
    bool menuTracking = false;
    bool editingText = false;
    bool connected = false;
    bool playing = false;
    std::set<RemoteAction> capabilities;
    std::optional<double> lastScroll =
        std::nullopt;  // when the last scroll step was sent; none: never
};

enum class Effect {
    none,
    recordShortcut,  // give keyCode and modifiers to the settings
    close,
    focusText,     // show the text field and ask it to take the focus
    showSettings,  // on the "general" tab
    send,          // `action`
    panelClick,    // the text field may have to go once the button is up
};

struct Verdict {
    Effect effect = Effect::none;
    bool swallow = false;  // the event goes no further
    std::optional<RemoteAction> action = std::nullopt;
    std::optional<double> lastScroll =
        std::nullopt;  // the new time of the last scroll step, when it moved
    bool operator==(const Verdict&) const = default;
};

inline constexpr std::uint16_t kEscape = 53;
inline constexpr std::uint16_t kKeyK = 40;
inline constexpr std::uint16_t kComma = 43;
// Scroll steps closer together than this are one flick.
inline constexpr double kScrollInterval = 0.12;
// Deltas this small are the wheel resting, not a scroll.
inline constexpr double kScrollDeadZone = 0.5;

Verdict decide(const Event& event, const Context& context);

}  // namespace orvel::RemoteInput

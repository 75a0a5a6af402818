#include "shell/RemoteInput.hpp"

#include <cmath>

#include "core/InputPolicy.hpp"
#include "core/KeyboardShortcut.hpp"

namespace orvel::RemoteInput {

namespace {

constexpr Verdict kPass{};

Verdict swallowing(Effect effect, std::optional<RemoteAction> action = std::nullopt) {
    return {.effect = effect, .swallow = true, .action = action};
}

bool forSettings(const Event& event, const Context& context) {
    return event.window == Window::settings ||
           (event.window == Window::none && !context.settingsWindowExists);
}

Verdict scroll(const Event& event, const Context& context) {
    if (context.editingText || event.modifiers != 0 || !context.connected) return kPass;
    const bool horizontal = std::abs(event.dx) > std::abs(event.dy);
    const double d = horizontal ? event.dx : event.dy;
    if (std::abs(d) <= kScrollDeadZone) return kPass;
    // A clock that went back (X11's wraps after 49 days) counts as time passed.
    if (context.lastScroll && event.time >= *context.lastScroll &&
        event.time - *context.lastScroll <= kScrollInterval) {
        return swallowing(Effect::none);
    }
    RemoteAction action = RemoteAction::down;
    if (horizontal) {
        action = d > 0 ? RemoteAction::left : RemoteAction::right;
    } else if (d > 0) {
        action = RemoteAction::up;
    }
    Verdict verdict = swallowing(Effect::send, action);
    verdict.lastScroll = event.time;
    return verdict;
}

Verdict key(const Event& event, const Context& context) {
    if (!context.connected || !event.keyCode) return kPass;
    const auto wanted =
        InputPolicy::remoteKey(*event.keyCode, context.editingText, event.modifiers != 0);
    if (!wanted) return kPass;
    const auto action =
        InputPolicy::supportedAction(*wanted, context.playing, context.capabilities);
    if (!action) return kPass;
    return swallowing(Effect::send, action);
}

}  // namespace

Verdict decide(const Event& event, const Context& context) {
    const bool keyDown = event.kind == Kind::keyDown;
    if (context.recordingShortcut && keyDown && forSettings(event, context)) {
        // A key with no code cannot be stored; it still must not reach the settings' controls.
        return swallowing(event.keyCode ? Effect::recordShortcut : Effect::none);
    }
    if (context.menuTracking || !context.panelVisible || !context.panelActive ||
        event.window != Window::panel) {
        return kPass;
    }
    if (event.kind == Kind::mouseDown) return {.effect = Effect::panelClick};  // and goes on
    if (keyDown && event.keyCode == kEscape) return swallowing(Effect::close);
    if (keyDown && event.modifiers == KeyboardShortcut::kCtrl) {
        if (event.keyCode == kKeyK) return swallowing(Effect::focusText);
        if (event.keyCode == kComma) return swallowing(Effect::showSettings);
    }
    if (event.kind == Kind::scroll) return scroll(event, context);
    if (keyDown) return key(event, context);
    return kPass;
}

}  // namespace orvel::RemoteInput

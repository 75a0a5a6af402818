#pragma once
// GlobalHotKey: the one system-wide shortcut that opens and closes the remote from any program.
// It registers the user's shortcut through a HotKeyBackend, refuses the desktop's own bindings
// (DesktopShortcuts), says every failure in one sentence for the settings, and turns the
// backend's press and release events into one call of the action per press, run on a later turn
// of the loop, never inside event handling.
//
//   auto hotKey = GlobalHotKey::create(loop, std::make_unique<X11HotKeyBackend>(...), reserved);
//   hotKey->setAction([&] { toggleRemote(); });
//   if (!hotKey->registerShortcut(shortcut)) show(hotKey->errorMessage());
//   ...
//   hotKey->stop();
//
// Owner: the application (shared_ptr; the deferred action holds it weakly and checks that the
// registration is still the one pressed). Thread: the loop thread only. Ends with stop(), which
// releases the shortcut; identifiers are never reused within one run.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/KeyboardShortcut.hpp"
#include "core/ShortcutPressState.hpp"
#include "core/ShortcutRegistration.hpp"
#include "input/HotKeyBackend.hpp"
#include "platform/MainLoop.hpp"

namespace orvel {

class AppStore;

class GlobalHotKey : public std::enable_shared_from_this<GlobalHotKey> {
public:
    // The desktop's own bindings, read afresh on every registration; empty: nothing reserved.
    using DesktopShortcuts = std::function<std::vector<KeyboardShortcut>()>;

    static std::shared_ptr<GlobalHotKey> create(MainLoop& loop,
                                                std::unique_ptr<HotKeyBackend> backend,
                                                DesktopShortcuts desktopShortcuts = {});

    void setAction(std::function<void()> action);
    // True when `shortcut` is registered now; false with errorMessage() saying why, and the
    // shortcut registered before still working.
    bool registerShortcut(const KeyboardShortcut& shortcut);
    void stop();
    // The sentence of the last failed registration; empty after a success.
    const std::string& errorMessage() const;
    std::optional<KeyboardShortcut> shortcut() const;

    // One key-down while the settings record a new shortcut (the store's recordingShortcut):
    // Escape ends recording, a key without Super, Ctrl or Alt asks for one, anything else is
    // registered and, on success, stored with its label (from `characters`, what the key types
    // without modifiers). Nothing happens unless recording.
    void record(AppStore& store, const KeyboardShortcut& pressed, std::string_view characters);

    static constexpr std::uint32_t kEscapeCode = 53;  // ends recording, whatever the modifiers

private:
    GlobalHotKey(MainLoop& loop, std::unique_ptr<HotKeyBackend> backend,
                 DesktopShortcuts desktopShortcuts);

    // Starts the backend once; false with errorMessage_ set when it cannot.
    bool ensureStarted();
    bool reserved(const KeyboardShortcut& shortcut) const;
    void receive(std::uint32_t identifier, bool pressed);

    MainLoop& loop_;
    std::unique_ptr<HotKeyBackend> backend_;
    DesktopShortcuts desktopShortcuts_;
    std::function<void()> action_;
    std::string errorMessage_;
    ShortcutRegistration<HotKeyBackend::Token> registration_;
    bool running_ = false;              // the backend was started and not stopped since
    std::uint32_t nextIdentifier_ = 0;  // the last one handed out; 0: none yet
    std::optional<std::uint32_t> activeIdentifier_;
    ShortcutPressState presses_;
};

}  // namespace orvel

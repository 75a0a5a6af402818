#pragma once
// KeyboardControls: the keys that work from anywhere, wired to the session: the global
// shortcut (GlobalHotKey) runs the application's action, and Super with the media keys drives the
// TV (MediaKeys). It applies the shortcut and media-key preferences whenever they change, and at
// start, when the stored shortcut has been taken since the last run, falls back to the default.
//
//   KeyboardControls keys(loop, *store, std::move(backends), options.mediaKeyDiagnostics,
//                         [&] { toggleRemote(); });
//   keys.start();
//   ...
//   keys.stop();   // before the store shuts down
//
// Owner: the application; it sets the store's state and preference hooks, so it is the one
// owner of those. Thread: the loop thread only. Ends with stop() or destruction; the loop and
// the store must outlive it.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "input/GlobalHotKey.hpp"
#include "input/HotKeyBackend.hpp"
#include "input/MediaKeyBackend.hpp"
#include "input/MediaKeys.hpp"
#include "platform/MainLoop.hpp"
#include "session/AppStore.hpp"

namespace orvel {

class KeyboardControls {
public:
    struct Backends {
        std::unique_ptr<HotKeyBackend> hotKey;
        std::unique_ptr<MediaKeyBackend> mediaKeys;
        GlobalHotKey::DesktopShortcuts desktopShortcuts;
    };

    KeyboardControls(MainLoop& loop, AppStore& store, Backends backends,
                     std::optional<std::filesystem::path> diagnostics,
                     std::function<void()> action);
    ~KeyboardControls();
    KeyboardControls(const KeyboardControls&) = delete;
    KeyboardControls& operator=(const KeyboardControls&) = delete;

    // Once; nothing after stop(). Starts the media-key capture, then registers the stored
    // shortcut, restoring the default when the stored one is no longer free and the default is.
    void start();
    // Sleep, a locked or inactive session: the media keys are released until resumed.
    void setSuspended(bool suspended);
    // The settings' media-key line: asks the desktop for consent where it wants one.
    void requestAccess();
    void stop();

    GlobalHotKey& hotKey() { return *hotKey_; }

private:
    void applyPreferences(bool repairShortcut);

    MainLoop& loop_;
    AppStore& store_;
    std::unique_ptr<MediaKeyBackend> mediaBackend_;  // until start() hands it on
    std::optional<std::filesystem::path> diagnostics_;
    std::shared_ptr<GlobalHotKey> hotKey_;
    std::shared_ptr<MediaKeys> mediaKeys_;
    bool stopped_ = false;
};

}  // namespace orvel

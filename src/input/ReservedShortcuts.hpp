#pragma once
// ReservedShortcuts: the desktop's own key bindings, which the global shortcut must not take.
// XDG_CURRENT_DESKTOP says whose bindings apply: the GNOME family's GSettings (GNOME, Unity,
// Budgie, Pantheon, and lists naming one, "ubuntu:GNOME") or KDE's kglobalshortcutsrc. A
// desktop it does not know, or bindings it cannot read, reserve nothing.
//
//   auto hotKey = GlobalHotKey::create(loop, std::move(backend), ReservedShortcuts::forProcess());
//   ReservedShortcuts("KDE", paths)();   // KDE's active shortcuts
//
// A copyable value; the environment is taken once, the bindings are read on every call (the
// user may have changed them). Thread: any, one call at a time per copy.

#include <functional>
#include <string>
#include <vector>

#include "core/KeyboardShortcut.hpp"
#include "platform/AppPaths.hpp"

namespace orvel {

class ReservedShortcuts {
public:
    // The readers of each desktop; tests put their own in.
    struct Readers {
        std::function<std::vector<KeyboardShortcut>()> gnome;
        std::function<std::vector<KeyboardShortcut>(const AppPaths::Environment&)> kde;
        static Readers system();
    };

    ReservedShortcuts(std::string currentDesktop, AppPaths::Environment paths,
                      Readers readers = Readers::system());
    // XDG_CURRENT_DESKTOP and the XDG folders of this process; call before threads start.
    static ReservedShortcuts forProcess();

    // Every binding of the desktops that apply, in the order read; duplicates are harmless.
    std::vector<KeyboardShortcut> operator()() const;

private:
    bool gnome_ = false;
    bool kde_ = false;
    AppPaths::Environment paths_;
    Readers readers_;
};

}  // namespace orvel

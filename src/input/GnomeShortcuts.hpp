#pragma once
// GnomeShortcuts: the key bindings that the desktop's window manager, shell and media-key
// daemon keep in GSettings, read so that they can be refused as reserved.
//
//   auto taken = GnomeShortcuts::read();   // every binding of the schemas installed here
//
// Each of kSchemas that is installed (and has a fixed path) is read: every key whose value is
// a string or an array of strings, each parsed as an accelerator (GtkAccelerator). A schema
// that is missing is skipped without a word from GLib. Thread: any; reads the settings
// backend (dconf) synchronously and keeps nothing.

#include <array>
#include <string_view>
#include <vector>

#include "core/KeyboardShortcut.hpp"

namespace orvel::GnomeShortcuts {

inline constexpr std::array<std::string_view, 3> kSchemas{
    "org.gnome.desktop.wm.keybindings",
    "org.gnome.shell.keybindings",
    "org.gnome.settings-daemon.plugins.media-keys",
};

std::vector<KeyboardShortcut> read();

}  // namespace orvel::GnomeShortcuts

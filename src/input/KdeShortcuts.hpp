#pragma once
// KdeShortcuts: the global shortcuts that the desktop's shortcut daemon keeps in
// kglobalshortcutsrc, read into the stored shortcut vocabulary so that they can be refused as
// reserved. Only the active shortcuts count, not the defaults the user replaced.
//
//   KdeShortcuts::parseShortcut("Meta+Shift+Page Up");   // Shift+Super+Page Up
//   auto taken = KdeShortcuts::read(AppPaths::processEnvironment());
//
// Meta is Super. A shortcut with another modifier or a key without a code here is left out,
// as is every line that cannot be read. Pure but for read(), which reads one file of at most
// kMaxFileBytes; any thread.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "core/KeyboardShortcut.hpp"
#include "platform/AppPaths.hpp"

namespace orvel::KdeShortcuts {

// The file holds a few hundred entries; a larger one is not the daemon's.
inline constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

// One shortcut as the daemon writes it: "Ctrl+Alt+T", "Alt+F4"; "none" gives nothing.
std::optional<KeyboardShortcut> parseShortcut(std::string_view text);

// Every active shortcut of every component: entries "Action=active,default,description" under
// "[component]" groups, several shortcuts of one action separated by "\t".
std::vector<KeyboardShortcut> parseConfig(std::string_view text);

// parseConfig of <config home>/kglobalshortcutsrc; empty when it cannot be read.
std::vector<KeyboardShortcut> read(const AppPaths::Environment& env);

}  // namespace orvel::KdeShortcuts

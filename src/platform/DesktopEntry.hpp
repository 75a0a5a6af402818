#pragma once
// DesktopEntry: the text of our XDG autostart entry and how to read one back. Pure;
// thread-safe.
//
//   DesktopEntry::autostartText("/opt/Orvel Remote/OrvelRemote")
//       -> "...Exec=\"/opt/Orvel Remote/OrvelRemote\"\n..."

#include <string>
#include <string_view>

namespace orvel::DesktopEntry {

// One Exec argument: double-quoted (with \ " ` $ escaped) when it holds a reserved character,
// "%" doubled, and then escaped as a string value (\\, \n, \t, \r), in that order.
std::string execArgument(std::string_view argument);

// A complete [Desktop Entry] that starts `executable` at login.
std::string autostartText(std::string_view executable);

// Whether a session would start the entry: it has a [Desktop Entry] group, and that group
// says neither Hidden=true nor X-GNOME-Autostart-enabled=false.
bool startsAtLogin(std::string_view text);

}  // namespace orvel::DesktopEntry

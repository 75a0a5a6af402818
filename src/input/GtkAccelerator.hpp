#pragma once
// GtkAccelerator: the desktop's accelerator strings, as GSettings keeps its key bindings, read
// into the stored shortcut vocabulary so that they can be refused as reserved.
//
//   GtkAccelerator::parse("<Primary><Alt>t");   // Ctrl+Alt+T
//   GtkAccelerator::parse("disabled");          // nothing
//
// Modifiers: Primary, Control, Ctrl and Ctl are Ctrl; Alt and Mod1 are Alt; Super, Mod4 and
// Meta are Super (the desktops write Meta for the logo key); Shift. Any other modifier, a
// missing key or a key without a code here gives nothing. Pure; any thread.

#include <optional>
#include <string_view>

#include "core/KeyboardShortcut.hpp"

namespace orvel::GtkAccelerator {

std::optional<KeyboardShortcut> parse(std::string_view accelerator);

}  // namespace orvel::GtkAccelerator

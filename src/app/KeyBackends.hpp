#pragma once
// KeyBackends: the desktop's side of the keys that work from anywhere: the X11 hot-key and
// media-key backends on one X connection, and the desktop's own bindings as reserved
// shortcuts. A Wayland session without X gets backends that say it offers no global grabs.
//
//   settings.keyBackends = [&] { return KeyBackends::forDisplay(loop, watch); };
//
// Loop thread only; the backends live as long as their owner (KeyboardControls).

#include <optional>

#include "app/KeyboardControls.hpp"
#include "input/x11/X11Connection.hpp"
#include "platform/MainLoop.hpp"

namespace orvel::KeyBackends {

// True when the process has a display (DISPLAY or WAYLAND_DISPLAY set and not empty).
bool hasDisplay();

// Nothing without a display: then neither the shortcut nor the media keys start.
std::optional<KeyboardControls::Backends> forDisplay(MainLoop& loop,
                                                     X11Connection::WatchReadable watch);

}  // namespace orvel::KeyBackends

#pragma once
// KeyBackends: the desktop's side of the keys that work from anywhere: the X11 hot-key and
// media-key backends on one X connection, and the desktop's own bindings as reserved
// shortcuts. The caller may give a backend to try before the X11 grab (the desktop portal's,
// on Wayland without X); without either, the backends say the desktop offers no global grabs.
//
//   settings.keyBackends = [&] { return KeyBackends::forDisplay(loop, watch); };
//
// Loop thread only; the backends live as long as their owner (KeyboardControls).

#include <memory>
#include <optional>

#include "app/KeyboardControls.hpp"
#include "input/HotKeyBackend.hpp"
#include "input/x11/X11Connection.hpp"
#include "platform/MainLoop.hpp"

namespace orvel::KeyBackends {

// True when the process has a display (DISPLAY or WAYLAND_DISPLAY set and not empty).
bool hasDisplay();

// True when the session is a Wayland one (WAYLAND_DISPLAY set and not empty).
bool onWayland();
// True when an X server is at hand (DISPLAY set and not empty), Wayland's own among them.
bool onX11();

// Nothing without a display: then neither the shortcut nor the media keys start. `preferred`,
// when given, holds the shortcut whenever it starts; the X11 grab is the fallback.
std::optional<KeyboardControls::Backends> forDisplay(
    MainLoop& loop, X11Connection::WatchReadable watch,
    std::unique_ptr<HotKeyBackend> preferred = nullptr);

}  // namespace orvel::KeyBackends

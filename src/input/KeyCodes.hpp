#pragma once
// KeyCodes: the stored key vocabulary (macOS virtual key codes and media-key codes, Carbon
// modifier masks) against X11 keysyms, keysym names and modifier states, so that a stored
// shortcut means the same key on every desktop. Pure tables, any thread.

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvel::KeyCodes {

// The keysym the X server types for a virtual key code without modifiers; nothing for a code
// that has no key here.
std::optional<std::uint32_t> keysymForKeyCode(std::uint32_t code);
// The keysym's name for a virtual key code ("p", "Return", "F4"), as shortcut triggers write it.
std::optional<std::string_view> keysymNameForKeyCode(std::uint32_t code);
// The virtual key code of a keysym; letters count in either case.
std::optional<std::uint32_t> keyCodeForKeysym(std::uint32_t keysym);
// The virtual key code of a keysym's name as the desktops write it ("p", "P", "Return",
// "F4", "Page_Up"), case-insensitively.
std::optional<std::uint32_t> keyCodeForKeysymName(std::string_view name);

// The XF86Audio keysym of a media-key code (MediaKeyPress), and back.
std::optional<std::uint32_t> keysymForMediaCode(std::uint16_t code);
std::optional<std::uint16_t> mediaCodeForKeysym(std::uint32_t keysym);

// X11 modifier state bits.
inline constexpr std::uint16_t kX11Shift = 0x01;
inline constexpr std::uint16_t kX11Lock = 0x02;  // Caps Lock
inline constexpr std::uint16_t kX11Control = 0x04;
inline constexpr std::uint16_t kX11Mod1 = 0x08;  // Alt
inline constexpr std::uint16_t kX11Mod2 = 0x10;  // Num Lock, on most layouts
inline constexpr std::uint16_t kX11Mod4 = 0x40;  // Super

// The Carbon mask (KeyboardShortcut bits) of an X11 modifier state: Shift, Control, Mod1 as
// Alt and Mod4 as Super; the locks and every other bit are dropped.
std::uint32_t modifiersFromX11State(std::uint16_t state);
// The X11 state of a Carbon mask, with Alt as Mod1 and Super as Mod4.
std::uint16_t x11StateFromModifiers(std::uint32_t modifiers);

}  // namespace orvel::KeyCodes

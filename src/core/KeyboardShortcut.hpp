#pragma once
// KeyboardShortcut: the global shortcut that opens the remote, as a key code and modifier mask.
// Codes and masks keep their macOS values (virtual key codes, Carbon modifier bits) so a stored
// shortcut means the same on either system; the hot-key backend translates them to keysyms. Only
// the label is written in the Linux form ("Ctrl+Alt+Super+P"). A plain value, any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvel {

struct KeyboardShortcut {
    // Modifier bits; no other bit is ever set by this system.
    static constexpr std::uint32_t kSuper = 0x0100;  // Command
    static constexpr std::uint32_t kShift = 0x0200;
    static constexpr std::uint32_t kAlt = 0x0800;   // Option
    static constexpr std::uint32_t kCtrl = 0x1000;  // Control

    static const KeyboardShortcut kDefault;  // Ctrl+Alt+Super+P
    static constexpr std::string_view kDefaultLabel = "Ctrl+Alt+Super+P";
    static constexpr std::string_view kNeedsModifierMessage = "Include Super, Ctrl, or Alt.";

    std::uint32_t code = 0;
    std::uint32_t modifiers = 0;

    bool operator==(const KeyboardShortcut&) const = default;

    // The sentence that refuses this combination before it is tried, or nothing. Shift alone is
    // not enough: every plain key would be taken from every program.
    std::optional<std::string_view> validationMessage() const;

    // "Ctrl+", "Alt+", "Shift+", "Super+" as present, in that order, then the key's name: a fixed
    // name for a few keys, else `characters` (what the key types, ignoring modifiers) upper-cased,
    // else "Key " and the code.
    std::string label(std::string_view characters) const;
};

inline constexpr KeyboardShortcut KeyboardShortcut::kDefault{35, kCtrl | kAlt | kSuper};

}  // namespace orvel

#include "shell/QtKeyCodes.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "core/KeyboardShortcut.hpp"
#include "input/KeyCodes.hpp"

namespace orvel::QtKeyCodes {

namespace {

using KeyPair = std::pair<int, std::uint32_t>;

// Qt keys beyond Latin-1, by the keysym KeyCodes knows them as.
constexpr std::array kSpecialKeys{
    KeyPair{Qt::Key_Escape, 0xff1b},  KeyPair{Qt::Key_Tab, 0xff09},
    KeyPair{Qt::Key_Backtab, 0xff09}, KeyPair{Qt::Key_Backspace, 0xff08},
    KeyPair{Qt::Key_Return, 0xff0d},  KeyPair{Qt::Key_Enter, 0xff8d},
    KeyPair{Qt::Key_Insert, 0xff63},  KeyPair{Qt::Key_Delete, 0xffff},
    KeyPair{Qt::Key_Home, 0xff50},    KeyPair{Qt::Key_End, 0xff57},
    KeyPair{Qt::Key_Left, 0xff51},    KeyPair{Qt::Key_Up, 0xff52},
    KeyPair{Qt::Key_Right, 0xff53},   KeyPair{Qt::Key_Down, 0xff54},
    KeyPair{Qt::Key_PageUp, 0xff55},  KeyPair{Qt::Key_PageDown, 0xff56},
};

// The keypad's keys, which Qt reports as the characters they type.
constexpr std::array kKeypadKeys{
    KeyPair{Qt::Key_Period, 0xffae},   KeyPair{Qt::Key_Comma, 0xffae},
    KeyPair{Qt::Key_Asterisk, 0xffaa}, KeyPair{Qt::Key_Plus, 0xffab},
    KeyPair{Qt::Key_Minus, 0xffad},    KeyPair{Qt::Key_Slash, 0xffaf},
    KeyPair{Qt::Key_Equal, 0xffbd},
};

// The US layout's shifted symbols and the keys under them.
constexpr std::array kShifted{
    KeyPair{'!', '1'}, KeyPair{'@', '2'},  KeyPair{'#', '3'}, KeyPair{'$', '4'}, KeyPair{'%', '5'},
    KeyPair{'^', '6'}, KeyPair{'&', '7'},  KeyPair{'*', '8'}, KeyPair{'(', '9'}, KeyPair{')', '0'},
    KeyPair{'_', '-'}, KeyPair{'+', '='},  KeyPair{'{', '['}, KeyPair{'}', ']'}, KeyPair{'|', '\\'},
    KeyPair{':', ';'}, KeyPair{'"', '\''}, KeyPair{'<', ','}, KeyPair{'>', '.'}, KeyPair{'?', '/'},
    KeyPair{'~', '`'},
};

template <std::size_t N>
std::optional<std::uint32_t> lookup(const std::array<KeyPair, N>& table, int key) {
    const auto* found = std::ranges::find(table, key, &KeyPair::first);
    if (found == table.end()) return std::nullopt;
    return found->second;
}

std::optional<std::uint32_t> keysym(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers.testFlag(Qt::KeypadModifier)) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0xffb0 + (key - Qt::Key_0);
        if (auto found = lookup(kKeypadKeys, key)) return found;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F15) return 0xffbe + (key - Qt::Key_F1);
    if (auto found = lookup(kSpecialKeys, key)) return found;
    if (auto base = lookup(kShifted, key)) return base;
    // Printable Latin-1: Qt's key is the keysym (letters upper-cased).
    if (key > 0x20 && key < 0x7f) return static_cast<std::uint32_t>(key);
    if (key == Qt::Key_Space) return 0x20;
    return std::nullopt;
}

}  // namespace

std::optional<std::uint16_t> keyCode(int key, Qt::KeyboardModifiers modifiers) {
    const auto sym = keysym(key, modifiers);
    if (!sym) return std::nullopt;
    const auto code = KeyCodes::keyCodeForKeysym(*sym);
    if (!code) return std::nullopt;
    return static_cast<std::uint16_t>(*code);
}

std::uint32_t modifiers(Qt::KeyboardModifiers modifiers) {
    std::uint32_t mask = 0;
    if (modifiers.testFlag(Qt::ShiftModifier)) mask |= KeyboardShortcut::kShift;
    if (modifiers.testFlag(Qt::ControlModifier)) mask |= KeyboardShortcut::kCtrl;
    if (modifiers.testFlag(Qt::AltModifier)) mask |= KeyboardShortcut::kAlt;
    if (modifiers.testFlag(Qt::MetaModifier)) mask |= KeyboardShortcut::kSuper;
    return mask;
}

}  // namespace orvel::QtKeyCodes

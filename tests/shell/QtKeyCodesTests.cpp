// Qt's keys in the stored vocabulary: the remote's keys, the keypad, shifted symbols and
// modifier keys, and Qt's modifiers as the stored mask.

#include "shell/QtKeyCodes.hpp"

#include <gtest/gtest.h>

#include "core/KeyboardShortcut.hpp"

namespace orvel::QtKeyCodes {
namespace {

TEST(QtKeyCodes, KeysAreTheStoredCodes) {
    const struct {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        std::optional<std::uint16_t> code;
    } cases[] = {
        {"Up", Qt::Key_Up, Qt::NoModifier, 126},
        {"Down", Qt::Key_Down, Qt::NoModifier, 125},
        {"Left", Qt::Key_Left, Qt::NoModifier, 123},
        {"Right", Qt::Key_Right, Qt::NoModifier, 124},
        {"Return", Qt::Key_Return, Qt::NoModifier, 36},
        {"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, 76},
        {"Space", Qt::Key_Space, Qt::NoModifier, 49},
        {"BackspaceIsDelete", Qt::Key_Backspace, Qt::NoModifier, 51},
        {"DeleteIsForwardDelete", Qt::Key_Delete, Qt::NoModifier, 117},
        {"Escape", Qt::Key_Escape, Qt::NoModifier, 53},
        {"K", Qt::Key_K, Qt::ControlModifier, 40},
        {"Comma", Qt::Key_Comma, Qt::ControlModifier, 43},
        {"P", Qt::Key_P, Qt::NoModifier, 35},
        {"Digit", Qt::Key_1, Qt::NoModifier, 18},
        {"ShiftedDigit", Qt::Key_Exclam, Qt::ShiftModifier, 18},
        {"ShiftedComma", Qt::Key_Less, Qt::ShiftModifier, 43},
        {"KeypadDigit", Qt::Key_5, Qt::KeypadModifier, 87},
        {"KeypadPlus", Qt::Key_Plus, Qt::KeypadModifier, 69},
        {"F12", Qt::Key_F12, Qt::NoModifier, 111},
        {"PageDown", Qt::Key_PageDown, Qt::NoModifier, 121},
        {"ModifierKey", Qt::Key_Control, Qt::ControlModifier, std::nullopt},
        {"SuperKey", Qt::Key_Super_L, Qt::MetaModifier, std::nullopt},
        {"NotLatin", Qt::Key_Eacute, Qt::NoModifier, std::nullopt},
        {"Unknown", Qt::Key_unknown, Qt::NoModifier, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(keyCode(c.key, c.modifiers), c.code) << c.name;
}

TEST(QtKeyCodes, ModifiersAreTheStoredMask) {
    EXPECT_EQ(modifiers({}), 0u);
    EXPECT_EQ(modifiers(Qt::ControlModifier), KeyboardShortcut::kCtrl);
    EXPECT_EQ(modifiers(Qt::MetaModifier), KeyboardShortcut::kSuper);
    EXPECT_EQ(modifiers(Qt::ShiftModifier | Qt::AltModifier),
              KeyboardShortcut::kShift | KeyboardShortcut::kAlt);
    EXPECT_EQ(modifiers(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0u)
        << "keypad and layout switches are no modifiers";
}

}  // namespace
}  // namespace orvel::QtKeyCodes

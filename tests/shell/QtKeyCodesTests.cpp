// Qt's keys in the stored vocabulary: the remote's keys, the keypad, shifted symbols and
// modifier keys, and Qt's modifiers as the stored mask.

#include "shell/QtKeyCodes.hpp"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "core/KeyboardShortcut.hpp"

namespace orvel::QtKeyCodes {
namespace {

struct KeyCase {
    std::string name;
    int key;
    Qt::KeyboardModifiers modifiers;
    std::optional<std::uint16_t> code;
};

class KeyCode : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyCode, IsTheStoredCode) {
    const auto& c = GetParam();
    EXPECT_EQ(keyCode(c.key, c.modifiers), c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyCode,
    ::testing::Values(
        KeyCase{"Up", Qt::Key_Up, {}, 126}, KeyCase{"Down", Qt::Key_Down, {}, 125},
        KeyCase{"Left", Qt::Key_Left, {}, 123}, KeyCase{"Right", Qt::Key_Right, {}, 124},
        KeyCase{"Return", Qt::Key_Return, {}, 36},
        KeyCase{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, 76},
        KeyCase{"Space", Qt::Key_Space, {}, 49},
        KeyCase{"BackspaceIsDelete", Qt::Key_Backspace, {}, 51},
        KeyCase{"DeleteIsForwardDelete", Qt::Key_Delete, {}, 117},
        KeyCase{"Escape", Qt::Key_Escape, {}, 53}, KeyCase{"K", Qt::Key_K, Qt::ControlModifier, 40},
        KeyCase{"Comma", Qt::Key_Comma, Qt::ControlModifier, 43}, KeyCase{"P", Qt::Key_P, {}, 35},
        KeyCase{"Digit", Qt::Key_1, {}, 18},
        KeyCase{"ShiftedDigit", Qt::Key_Exclam, Qt::ShiftModifier, 18},
        KeyCase{"ShiftedComma", Qt::Key_Less, Qt::ShiftModifier, 43},
        KeyCase{"KeypadDigit", Qt::Key_5, Qt::KeypadModifier, 87},
        KeyCase{"KeypadPlus", Qt::Key_Plus, Qt::KeypadModifier, 69},
        KeyCase{"F12", Qt::Key_F12, {}, 111}, KeyCase{"PageDown", Qt::Key_PageDown, {}, 121},
        KeyCase{"ModifierKey", Qt::Key_Control, Qt::ControlModifier, std::nullopt},
        KeyCase{"SuperKey", Qt::Key_Super_L, Qt::MetaModifier, std::nullopt},
        KeyCase{"NotLatin", Qt::Key_Eacute, {}, std::nullopt},
        KeyCase{"Unknown", Qt::Key_unknown, {}, std::nullopt}),
    [](const auto& each) { return each.param.name; });

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

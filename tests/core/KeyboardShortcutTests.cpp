#include "core/KeyboardShortcut.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

constexpr auto kCtrl = KeyboardShortcut::kCtrl;
constexpr auto kAlt = KeyboardShortcut::kAlt;
constexpr auto kShift = KeyboardShortcut::kShift;
constexpr auto kSuper = KeyboardShortcut::kSuper;

TEST(KeyboardShortcut, DefaultIsCtrlAltSuperP) {
    EXPECT_EQ(KeyboardShortcut::kDefault, (KeyboardShortcut{35, 0x1900}));
    EXPECT_EQ(KeyboardShortcut::kDefaultLabel, "Ctrl+Alt+Super+P");
    EXPECT_EQ(KeyboardShortcut::kDefault.label("p"), KeyboardShortcut::kDefaultLabel);
}

TEST(KeyboardShortcut, Labels) {
    const struct {
        KeyboardShortcut shortcut;
        const char* characters;
        const char* label;
    } cases[] = {
        {{35, kSuper | kShift | kAlt | kCtrl}, "p", "Ctrl+Alt+Shift+Super+P"},
        {{49, kShift | kSuper}, " ", "Shift+Super+Space"},
        {{36, kAlt}, "\r", "Alt+Return"},
        {{123, kCtrl}, "", "Ctrl+Left"},
        {{124, kCtrl}, "", "Ctrl+Right"},
        {{125, kCtrl}, "", "Ctrl+Down"},
        {{126, kCtrl}, "", "Ctrl+Up"},
        {{0, kCtrl}, "a", "Ctrl+A"},
        {{27, kAlt}, "-", "Alt+-"},
        {{0, kAlt}, "\xc3\xa9", "Alt+\xc3\xa9"},
        {{122, kSuper}, "", "Super+Key 122"},
        {{48, kCtrl}, "\t", "Ctrl+Key 48"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.shortcut.label(c.characters), c.label) << c.label;
    }
}

TEST(KeyboardShortcut, NeedsCtrlAltOrSuper) {
    const struct {
        std::uint32_t modifiers;
        bool refused;
    } cases[] = {
        {0, true},     {kShift, true},           {kCtrl, false},
        {kAlt, false}, {kSuper | kShift, false}, {kCtrl | kAlt | kSuper, false},
    };
    for (const auto& c : cases) {
        const auto message = KeyboardShortcut{0, c.modifiers}.validationMessage();
        EXPECT_EQ(message.has_value(), c.refused) << c.modifiers;
        EXPECT_EQ(message.value_or("Include Super, Ctrl, or Alt."), "Include Super, Ctrl, or Alt.");
    }
}

}  // namespace
}  // namespace orvel

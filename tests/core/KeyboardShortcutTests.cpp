#include "core/KeyboardShortcut.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

constexpr auto kCtrl = KeyboardShortcut::kCtrl;
constexpr auto kAlt = KeyboardShortcut::kAlt;
constexpr auto kShift = KeyboardShortcut::kShift;
constexpr auto kSuper = KeyboardShortcut::kSuper;

TEST(KeyboardShortcut, Labels) {
    const struct {
        KeyboardShortcut shortcut;
        const char* characters;
        const char* label;
    } cases[] = {
        {KeyboardShortcut::kDefault, "p", "Ctrl+Alt+Super+P"},
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
    const std::optional<std::string> refused = "Include Super, Ctrl, or Alt.";
    for (auto modifiers : {0u, kShift}) {
        EXPECT_EQ(KeyboardShortcut({0, modifiers}).validationMessage(), refused) << modifiers;
    }
    for (auto modifiers : {kCtrl, kAlt, kSuper | kShift, kCtrl | kAlt | kSuper}) {
        EXPECT_EQ(KeyboardShortcut({0, modifiers}).validationMessage(), std::nullopt) << modifiers;
    }
}

}  // namespace
}  // namespace orvel

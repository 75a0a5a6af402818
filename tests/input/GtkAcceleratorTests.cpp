#include "input/GtkAccelerator.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using K = KeyboardShortcut;

TEST(GtkAccelerator, ReadsModifiersAndKeys) {
    const std::pair<const char*, std::optional<KeyboardShortcut>> cases[] = {
        {"<Super>l", K{37, K::kSuper}},
        {"<Primary><Alt>t", K{17, K::kCtrl | K::kAlt}},
        {"<Control><Shift>Page_Up", K{116, K::kCtrl | K::kShift}},
        {"<ctrl><mod1>Delete", K{117, K::kCtrl | K::kAlt}},
        {"<Meta>space", K{49, K::kSuper}},
        {"<Mod4><Shift>Return", K{36, K::kSuper | K::kShift}},
        {"<Alt>F4", K{118, K::kAlt}},
        {" <Super>Next ", K{121, K::kSuper}},
        {"Escape", K{53, 0}},
        {"<Ctrl>", std::nullopt},
        {"<Hyper>a", std::nullopt},
        {"<Super", std::nullopt},
        {"<Super>XF86AudioPlay", std::nullopt},
        {"disabled", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(GtkAccelerator::parse(text), expected) << text;
}

}  // namespace
}  // namespace orvel

#include "core/KeyboardShortcut.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "core/ShortcutPressState.hpp"
#include "core/ShortcutRegistration.hpp"

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

const KeyboardShortcut kA{35, KeyboardShortcut::kCtrl};
const KeyboardShortcut kB{0, KeyboardShortcut::kAlt};

// A desktop that hands out move-only tokens 1, 2, ... and refuses the codes in `refused`.
using Token = std::unique_ptr<int>;
struct FakeDesktop {
    std::vector<std::string> calls;
    std::vector<std::uint32_t> refused;
    int nextToken = 0;

    void unregister(const Token& token) { calls.push_back("unregister " + std::to_string(*token)); }
    std::optional<std::string> replace(ShortcutRegistration<Token>& registration,
                                       const KeyboardShortcut& shortcut) {
        return registration.replace(
            shortcut,
            [&](const KeyboardShortcut& s) -> std::variant<Token, std::string> {
                calls.push_back("register " + std::to_string(s.code));
                if (std::ranges::find(refused, s.code) != refused.end()) return "refused";
                return std::make_unique<int>(++nextToken);
            },
            [&](Token token) { unregister(token); });
    }
    void clear(ShortcutRegistration<Token>& registration) {
        registration.clear([&](Token token) { unregister(token); });
    }
};

using Calls = std::vector<std::string>;

TEST(ShortcutRegistration, RegistersTheNewBeforeReleasingTheOldAndKeepsItWhenRefused) {
    FakeDesktop desktop;
    desktop.refused = {123};
    ShortcutRegistration<Token> registration;
    desktop.clear(registration);  // nothing to release
    EXPECT_EQ(desktop.replace(registration, kA), std::nullopt);
    EXPECT_EQ(desktop.replace(registration, kA), std::nullopt);  // the same: no calls
    EXPECT_EQ(desktop.replace(registration, kB), std::nullopt);
    EXPECT_EQ(desktop.replace(registration, {123, KeyboardShortcut::kCtrl}), "refused");
    EXPECT_EQ(desktop.calls, (Calls{"register 35", "register 0", "unregister 1", "register 123"}));
    EXPECT_EQ(registration.shortcut(), kB);
    EXPECT_EQ(**registration.token(), 2);

    desktop.calls.clear();
    desktop.clear(registration);
    desktop.clear(registration);
    EXPECT_EQ(registration.shortcut(), std::nullopt);
    EXPECT_EQ(registration.token(), nullptr);
    desktop.replace(registration, kA);
    EXPECT_EQ(desktop.calls, (Calls{"unregister 2", "register 35"}));
}

TEST(ShortcutPressState, OneActivationPerPressOfTheCurrentRegistration) {
    ShortcutPressState state;
    EXPECT_FALSE(state.receive(0, true));  // idle: nothing counts
    state.activate(5);
    const struct {
        std::uint32_t identifier;
        bool keyDown;
        bool runs;
    } stream[] = {
        {5, true, true},   {5, true, false},   // auto-repeat
        {5, false, false}, {5, true, true},    // a release re-arms
        {4, true, false},  {4, false, false},  // stale registration, state untouched
        {5, true, false},                      // still pressed from before
    };
    for (const auto& n : stream) {
        EXPECT_EQ(state.receive(n.identifier, n.keyDown), n.runs)
            << n.identifier << (n.keyDown ? " down" : " up");
    }

    state.activate(7);  // while pressed: a new registration re-arms
    EXPECT_TRUE(state.receive(7, true));
    state.activate(7);
    EXPECT_TRUE(state.receive(7, true));
    state.activate(std::nullopt);
    EXPECT_FALSE(state.receive(7, true));
    EXPECT_FALSE(state.pressed());
}

}  // namespace
}  // namespace orvel

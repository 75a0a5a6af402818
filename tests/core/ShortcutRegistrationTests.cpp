#include "core/ShortcutRegistration.hpp"

#include <algorithm>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

namespace orvel {
namespace {

const KeyboardShortcut kA{35, KeyboardShortcut::kCtrl};
const KeyboardShortcut kB{0, KeyboardShortcut::kAlt};

// A desktop that hands out tokens 1, 2, ... and refuses the codes in `refused`.
struct FakeDesktop {
    std::vector<std::string> calls;
    std::vector<std::uint32_t> refused;
    int nextToken = 0;

    std::optional<std::string> replace(ShortcutRegistration<int>& registration,
                                       const KeyboardShortcut& shortcut) {
        return registration.replace(
            shortcut,
            [&](const KeyboardShortcut& s) -> std::variant<int, std::string> {
                calls.push_back("register " + std::to_string(s.code));
                if (std::ranges::find(refused, s.code) != refused.end()) return "refused";
                return ++nextToken;
            },
            [&](int token) { calls.push_back("unregister " + std::to_string(token)); });
    }
    void clear(ShortcutRegistration<int>& registration) {
        registration.clear(
            [&](int token) { calls.push_back("unregister " + std::to_string(token)); });
    }
};

using Calls = std::vector<std::string>;

TEST(ShortcutRegistration, RegistersTheNewBeforeReleasingTheOldAndKeepsItWhenRefused) {
    FakeDesktop desktop;
    desktop.refused = {123};
    ShortcutRegistration<int> registration;
    desktop.clear(registration);  // nothing to release
    EXPECT_EQ(desktop.replace(registration, kA), std::nullopt);
    EXPECT_EQ(desktop.replace(registration, kA), std::nullopt);  // the same: no calls
    EXPECT_EQ(desktop.replace(registration, kB), std::nullopt);
    EXPECT_EQ(desktop.replace(registration, {123, KeyboardShortcut::kCtrl}), "refused");
    EXPECT_EQ(desktop.calls, (Calls{"register 35", "register 0", "unregister 1", "register 123"}));
    EXPECT_EQ(registration.shortcut(), kB);
    EXPECT_EQ(*registration.token(), 2);

    desktop.calls.clear();
    desktop.clear(registration);
    desktop.clear(registration);
    EXPECT_EQ(registration.shortcut(), std::nullopt);
    EXPECT_EQ(registration.token(), nullptr);
    desktop.replace(registration, kA);
    EXPECT_EQ(desktop.calls, (Calls{"unregister 2", "register 35"}));
}

TEST(ShortcutRegistration, TakesMoveOnlyTokens) {
    using Token = std::unique_ptr<int>;
    ShortcutRegistration<Token> registration;
    std::vector<int> released;
    auto grab = [](const KeyboardShortcut& s) -> std::variant<Token, int> {
        return std::make_unique<int>(static_cast<int>(s.code));
    };
    auto release = [&](Token token) { released.push_back(*token); };
    registration.replace(kA, grab, release);
    registration.replace(kB, grab, release);
    EXPECT_EQ(released, (std::vector<int>{35}));
    EXPECT_EQ(**registration.token(), 0);
}

}  // namespace
}  // namespace orvel

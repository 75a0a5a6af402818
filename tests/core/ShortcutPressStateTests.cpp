#include "core/ShortcutPressState.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

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

#include "core/ShortcutPressState.hpp"

namespace orvel {

void ShortcutPressState::activate(std::optional<std::uint32_t> identifier) {
    identifier_ = identifier;
    pressed_ = false;
}

bool ShortcutPressState::receive(std::uint32_t identifier, bool keyDown) {
    if (identifier_ != identifier) return false;  // a released or replaced registration
    if (keyDown && pressed_) return false;        // auto-repeat, or a press without a release
    pressed_ = keyDown;
    return keyDown;
}

}  // namespace orvel

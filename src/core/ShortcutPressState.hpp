#pragma once
// ShortcutPressState: turns the hot key's pressed/released notifications into one activation per
// press, ignoring auto-repeat and notifications of registrations that are no longer current. A
// plain value owned by the hot key, used on the main thread; ends with its owner.

#include <cstdint>
#include <optional>

namespace orvel {

class ShortcutPressState {
public:
    // Makes `identifier` the registration whose notifications count (nothing: none count) and
    // re-arms the press.
    void activate(std::optional<std::uint32_t> identifier);
    // True when the shortcut's action is to run now: a press of the current registration that
    // follows a release (or activation).
    bool receive(std::uint32_t identifier, bool keyDown);

    std::optional<std::uint32_t> identifier() const { return identifier_; }
    bool pressed() const { return pressed_; }

private:
    std::optional<std::uint32_t> identifier_;
    bool pressed_ = false;
};

}  // namespace orvel

#pragma once
// MediaKeyPressTracker: remembers the media keys the application took over between key-down
// and key-up, so a whole press (down, auto-repeats, up) is consumed or passed on as one, and a
// held volume key keeps stepping the TV's volume. The decision is taken on the first key-down.
//
//   switch on tracker.handle(press, InputPolicy::mediaKey(...)) ...
//   tracker.reset();   // capture stopped or the target changed: no press survives
//
// A plain value owned by the media-key capture; its owner's thread only.

#include <cstdint>
#include <map>
#include <optional>

#include "core/MediaKeyHandling.hpp"
#include "core/MediaKeyPress.hpp"
#include "core/RemoteAction.hpp"

namespace orvel {

class MediaKeyPressTracker {
public:
    // `action`: what the input policy chose for this press; it counts on a first key-down only.
    MediaKeyHandling handle(const MediaKeyPress& press, std::optional<RemoteAction> action);
    void reset() { held_.clear(); }

    // Key code to the action its consumed key-down was taken for, while the key is down.
    const std::map<std::uint16_t, RemoteAction>& held() const { return held_; }

private:
    std::map<std::uint16_t, RemoteAction> held_;
};

}  // namespace orvel

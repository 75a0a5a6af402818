#pragma once
// MediaKeyHandling: the verdict on one media-key event. Either the application consumes it,
// with the action to perform on the TV or with nothing (swallowed, nothing sent), or it passes
// through to the desktop unchanged. A plain value, any thread.
//
//   if (auto verdict = tracker.handle(press, action); verdict.consumed() && verdict.action())
//       send(*verdict.action());

#include <optional>

#include "core/RemoteAction.hpp"

namespace orvel {

class MediaKeyHandling {
public:
    static MediaKeyHandling consume(std::optional<RemoteAction> action = std::nullopt) {
        return MediaKeyHandling(true, action);
    }
    static MediaKeyHandling passThrough() { return MediaKeyHandling(false, std::nullopt); }

    bool consumed() const { return consumed_; }
    // Only a consumed event carries one.
    const std::optional<RemoteAction>& action() const { return action_; }

    bool operator==(const MediaKeyHandling&) const = default;

private:
    MediaKeyHandling(bool consumed, std::optional<RemoteAction> action)
        : consumed_(consumed), action_(action) {}

    bool consumed_;
    std::optional<RemoteAction> action_;
};

}  // namespace orvel

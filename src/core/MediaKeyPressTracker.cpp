#include "core/MediaKeyPressTracker.hpp"

namespace orvel {

MediaKeyHandling MediaKeyPressTracker::handle(const MediaKeyPress& press,
                                              std::optional<RemoteAction> action) {
    const auto held = held_.find(press.code);
    if (press.phase == MediaKeyPress::Phase::up) {
        if (held == held_.end()) return MediaKeyHandling::passThrough();
        held_.erase(held);
        return MediaKeyHandling::consume();
    }
    if (held != held_.end()) {
        const RemoteAction owned = held->second;
        const bool stepsVolume =
            owned == RemoteAction::volumeUp || owned == RemoteAction::volumeDown;
        // Any other repeat, or a second key-down without its key-up, is part of the same press.
        return MediaKeyHandling::consume(press.isRepeat && stepsVolume ? std::optional(owned)
                                                                       : std::nullopt);
    }
    // A repeat of a press the desktop got stays with the desktop.
    if (press.isRepeat || !action) return MediaKeyHandling::passThrough();
    held_.emplace(press.code, *action);
    return MediaKeyHandling::consume(action);
}

}  // namespace orvel

#include "core/PlaybackFeedback.hpp"

namespace orvel {

namespace {

// The state a command is expected to produce; nothing for actions that leave play state alone.
std::optional<bool> targetOf(RemoteAction action, bool shown) {
    switch (action) {
        case RemoteAction::pause:
            return false;
        case RemoteAction::play:
            return true;
        case RemoteAction::playPause:
            return !shown;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<std::int64_t> PlaybackFeedback::command(RemoteAction action, double now) {
    const std::optional<bool> target = targetOf(action, value_);
    if (!target) return std::nullopt;
    ++revision_;
    // A command while another is pending replaces it; its `previous` is the optimistic value.
    pending_ = Pending{revision_, value_, *target, now + kGraceSeconds};
    value_ = *target;
    return revision_;
}

void PlaybackFeedback::receive(bool playing, double now) {
    if (pending_ && now < pending_->expires && playing != pending_->target) return;
    value_ = playing;
    pending_.reset();
}

void PlaybackFeedback::failed(std::int64_t revision) {
    if (!pending_ || pending_->revision != revision) return;
    value_ = pending_->previous;
    pending_.reset();
}

void PlaybackFeedback::reset() {
    value_ = false;
    pending_.reset();
}

}  // namespace orvel

#include "core/PlaybackFeedback.hpp"

namespace orvel {

std::optional<std::int64_t> PlaybackFeedback::command(std::string_view action, double now) {
    bool target = false;
    if (action == "pause") {
        target = false;
    } else if (action == "play") {
        target = true;
    } else if (action == "playPause") {
        target = !value_;
    } else {
        return std::nullopt;
    }
    ++revision_;
    // A command while another is pending replaces it; its `previous` is the optimistic value.
    pending_ = Pending{revision_, value_, target, now + kGraceSeconds};
    value_ = target;
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

#pragma once
// PlaybackFeedback: the playing/paused state the interface shows. A play or pause command flips
// it at once to the expected result; TV reports that still contradict it are ignored for a short
// grace period, and a failed send puts back what was shown before. One plain value per session,
// used on the main thread; it reads no clock (callers pass uptime seconds) and ends with its owner.

#include <cstdint>
#include <optional>

#include "core/RemoteAction.hpp"

namespace orvel {

class PlaybackFeedback {
public:
    static constexpr double kGraceSeconds = 2.5;

    // The command waiting for the TV to confirm it.
    struct Pending {
        std::int64_t revision = 0;
        bool previous = false;  // value before the command
        bool target = false;    // value the command is expected to produce
        double expires = 0;     // contradicting reports are ignored until then

        bool operator==(const Pending&) const = default;
    };

    // Records a play, pause or playPause command about to be sent and returns its revision; any
    // other action gives nothing and changes nothing.
    std::optional<std::int64_t> command(RemoteAction action, double now);
    // A status report from the TV.
    void receive(bool playing, double now);
    // The send of command `revision` failed; only the pending one is rolled back.
    void failed(std::int64_t revision);
    // Forgets the TV's play state; revisions keep counting so stale failures stay stale.
    void reset();

    bool value() const { return value_; }
    std::int64_t revision() const { return revision_; }
    const std::optional<Pending>& pending() const { return pending_; }

private:
    bool value_ = false;
    std::int64_t revision_ = 0;
    std::optional<Pending> pending_;
};

}  // namespace orvel

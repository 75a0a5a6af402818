#pragma once
// FollowPolicy: which TV the session should move to when "follow the playing TV" is on, and which
// TV a media key should drive. Pure: same inputs, same answer; no state, no I/O, never fails.
// Used by the session on the main thread; there is nothing to own or end.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvel::FollowPolicy {

// One known TV as the session last saw it.
struct Candidate {
    std::string id;
    bool playing = false;
    // Uptime (seconds) at which the current stretch of playback was first seen; 0 when the TV is
    // not playing or the start is unknown. Larger means more recent.
    double since = 0;

    bool operator==(const Candidate&) const = default;
};

// The identifier of the TV to switch to, or nothing to stay. The selected TV keeps the focus while
// it plays; otherwise the most recently started playback wins, ties going to the earlier candidate.
std::optional<std::string> target(std::string_view current, bool currentPlaying,
                                  std::span<const Candidate> candidates);

}  // namespace orvel::FollowPolicy

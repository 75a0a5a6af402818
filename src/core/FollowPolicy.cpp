#include "core/FollowPolicy.hpp"

#include <algorithm>
#include <cmath>

namespace orvel::FollowPolicy {

namespace {

// A start that is not a number is as good as unknown; left as NaN it would win every comparison
// by never losing one.
double startOf(const Candidate& candidate) {
    return std::isnan(candidate.since) ? 0 : candidate.since;
}

}  // namespace

std::optional<std::string> target(std::string_view current, bool currentPlaying,
                                  std::span<const Candidate> candidates) {
    if (currentPlaying) return std::nullopt;
    // The session reports a disconnected selected TV as not playing, while its last status may
    // still say it plays; it keeps the focus then too.
    const bool selectedPlays = std::ranges::any_of(
        candidates, [&](const Candidate& c) { return c.playing && c.id == current; });
    if (selectedPlays) return std::nullopt;

    const Candidate* best = nullptr;
    for (const Candidate& candidate : candidates) {
        if (!candidate.playing || candidate.id == current) continue;
        if (best == nullptr || startOf(candidate) > startOf(*best)) best = &candidate;
    }
    if (best == nullptr) return std::nullopt;
    return best->id;
}

}  // namespace orvel::FollowPolicy

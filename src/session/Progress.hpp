#pragma once
// Progress: where one TV's playback stood at its latest "state" event, so that a reader can
// extrapolate the position without asking the TV. Kept per identifier by the session.

#include <string>

namespace orvel {

struct Progress {
    std::string artist;
    double position = 0;  // seconds into the item when reported
    double duration = 0;  // seconds
    double at = 0;        // uptime at which `position` was reported

    bool operator==(const Progress&) const = default;
};

}  // namespace orvel

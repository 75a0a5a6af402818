#pragma once
// DemoHousehold: the two made-up TVs of demo mode, so that the interface can be explored,
// shown and rendered without any TV or bridge. Both show as connected and playing; the
// bedroom's playback counts as started later, so following prefers it. Pure values.

#include <map>
#include <string>
#include <vector>

#include "session/TVDevice.hpp"
#include "session/TVStatus.hpp"

namespace orvel::DemoHousehold {

inline constexpr const char* kLivingRoomID = "demo-living";
inline constexpr const char* kBedroomID = "demo-bedroom";
inline constexpr double kVolume = 40;

// Living Room, then Bedroom.
std::vector<TVDevice> devices();
// One record per demo TV: connected, playing, every action.
std::map<std::string, TVStatus> statuses();

}  // namespace orvel::DemoHousehold

#pragma once
// DemoHousehold: demo mode's two made-up TVs and what the remote does to them, so that the
// interface can be explored, shown and rendered without any TV or bridge. Both show as
// connected and playing; the bedroom's playback counts as started later, so following
// prefers it. Commands change the published state at once and always succeed.
//
//   DemoHousehold::setUp(state);                          // the living room, connected
//   DemoHousehold::apply(state, RemoteAction::pause, {});
//
// Pure functions of the state they are given; loop thread (the state's) only.

#include <map>
#include <string>
#include <vector>

#include "core/RemoteAction.hpp"
#include "session/AppState.hpp"
#include "session/CommandOptions.hpp"
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

// Both TVs saved and found, the living room selected and connected.
void setUp(AppState& state);
// The remote shows TV `id` connected, with what its record says it plays.
void connect(AppState& state, const std::string& id);
// The effect of one command on the selected TV.
void apply(AppState& state, RemoteAction action, const CommandOptions& options);
// Two points a step, within 0 to 100.
void stepVolume(AppState& state, int steps);

}  // namespace orvel::DemoHousehold

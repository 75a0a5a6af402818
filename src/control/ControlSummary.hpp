#pragma once
// ControlSummary: the summary object that control replies and watch lines carry for one TV.
// The selected TV is described from the remote's live state, any other from its recorded
// status; a playing TV's position is carried forward from its last report to `now`. The
// selected TV's summary also carries the remote's notice and error line when there are any.
//
//   auto summary = ControlSummary::build(device, store.state(), loop.now());
//
// Pure; loop thread (it reads the session's state).

#include <string>

#include <nlohmann/json.hpp>

#include "session/AppState.hpp"
#include "session/TVDevice.hpp"

namespace orvel::ControlSummary {

nlohmann::json build(const TVDevice& device, const AppState& state, double now);
// The summary's "power": "On", "Off" or "Unknown", by the same rule as build().
const std::string& power(const TVDevice& device, const AppState& state);

}  // namespace orvel::ControlSummary

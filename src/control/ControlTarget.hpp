#pragma once
// ControlTarget: what a control request addresses, decided from the published state alone.
// A request's "tv" names a paired TV; without one it means the selected TV; one that is not
// text makes the request unreadable. Each refusal is the sentence the reply carries as its
// "error".
//
//   auto target = ControlTarget::device(store.state(), request);
//   if (!target) reply(ControlMessage::failure(target.error()));
//
// Pure; any thread, though the state is the loop thread's.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/NamedEntry.hpp"
#include "platform/Result.hpp"
#include "session/AppState.hpp"
#include "session/TVDevice.hpp"

namespace orvel::ControlTarget {

inline constexpr const char* kNoTVsPaired = "No TVs paired. Pair one in Orvel Remote's Settings.";
inline constexpr const char* kNoTVSelected =
    "No TV selected. Pick one in Orvel, or pass --tv NAME.";

// The TV the request acts on.
Result<TVDevice> device(const AppState& state, const nlohmann::json& request);

// The TV a watch follows: its identifier, or none for whichever TV is selected at the time.
Result<std::optional<std::string>> watched(const AppState& state, const nlohmann::json& request);

// The identifier of the app `query` names among `apps` of `tvName`: an exact identifier first,
// then TVLookup's match of the names.
Result<std::string> app(const std::string& query, const std::vector<NamedEntry>& apps,
                        const std::string& tvName);

}  // namespace orvel::ControlTarget

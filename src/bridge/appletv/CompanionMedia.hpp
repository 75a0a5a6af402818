#pragma once
// CompanionMedia: the Apple TV's media-control requests ("_mcc") and the flags ("_mcF" of its
// "_iMC" event) that say which of them it takes now. The flags change with what plays, so the
// backend offers these actions only while they allow them. Pure; any thread.
//
//   auto content = CompanionMedia::request(RemoteAction::skipForward, std::nullopt);
//   connection.request("_mcc", *content, timeout, done);

#include <cstdint>
#include <optional>
#include <vector>

#include "bridge/companion/OpackValue.hpp"
#include "core/RemoteAction.hpp"

namespace orvel::CompanionMedia {

// As far as the remote's own skip buttons go.
inline constexpr double kSkipSeconds = 10;

// The media actions `flags` allow, in the order of kAllRemoteActions.
std::vector<RemoteAction> actionsAllowed(std::int64_t flags);
// True for the actions that go as media-control requests rather than as keys.
bool isMediaAction(RemoteAction action);
// Whether the TV reports and takes an absolute volume.
bool takesVolume(std::int64_t flags);

// The "_c" of the request for a media action; `volume` (0 to 100) for setVolume. Nothing for
// any other action, or setVolume without a volume.
std::optional<OpackValue> request(RemoteAction action, std::optional<double> volume);
// The "_c" that asks for the volume.
OpackValue volumeQuery();

// "_mcF" of an "_iMC" event's content.
std::optional<std::int64_t> flagsIn(const OpackValue& content);
// The volume in a reply to volumeQuery, on the 0 to 100 scale.
std::optional<int> volumeIn(const OpackValue& reply);

}  // namespace orvel::CompanionMedia

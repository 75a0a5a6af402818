#pragma once
// AppleTVActions: how each remote action reaches an Apple TV: as a key (one press, two, a held
// one, or the power keys), as a media-control request that only the TV's current media flags
// allow, or as its own request (typing, opening an app). Pure; any thread.

#include <cstdint>
#include <optional>
#include <vector>

#include "bridge/appletv/CompanionKeys.hpp"
#include "core/RemoteAction.hpp"

namespace orvel::AppleTVActions {

struct KeyPlan {
    enum class How { press, twice, hold, sleep, wake };
    How how = How::press;
    CompanionKey key = CompanionKey::select;
};

// Nothing for an action that is no key.
std::optional<KeyPlan> keyPlanFor(RemoteAction action);

// Whether an Apple TV can ever take the action.
bool offered(RemoteAction action);

// What the TV takes now, in the order of kAllRemoteActions: every key, typing and opening apps,
// and the media actions `mediaFlags` allow (none before the TV has said).
std::vector<RemoteAction> capabilities(std::optional<std::int64_t> mediaFlags);

}  // namespace orvel::AppleTVActions

#pragma once
// TVSummary: the number and text rules of the TV summary object that control replies and
// watch lines carry for one TV. The session builds the object; these helpers fix how its
// computed values read, so every builder (and the tests) agree.
//
//   summary["position"] = TVSummary::roundedPosition(TVSummary::currentPosition(...));
//   if (auto icon = TVSummary::appIconUrl(id, address, appId)) summary["appIcon"] = *icon;
//
// Pure; usable from any thread.

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/RemoteAction.hpp"

namespace orvel::TVSummary {

inline constexpr std::string_view kUnknownPower = "Unknown";

// The position now: recorded + (now - recordedAt) while playing, else as recorded, capped
// at a positive duration.
double currentPosition(double recorded, double recordedAt, double duration, double now,
                       bool playing);

// One decimal, halves away from zero: 100.04 -> 100.0, 100.05 -> 100.1. Values that cannot
// be scaled (not finite, or overflowing) come back unchanged.
double roundedPosition(double seconds);

// "http://" + address + "/query/icon/" + percent-encoded app id, for a Roku TV with both an
// address and an app id; nothing otherwise.
std::optional<std::string> appIconUrl(std::string_view identifier, std::string_view address,
                                      std::string_view appId);

// Raw values of the actions, without repeats, ascending in code-point order.
template <typename Actions>
nlohmann::json capabilities(const Actions& actions) {
    std::vector<std::string> names;
    names.reserve(actions.size());
    for (RemoteAction action : actions) names.emplace_back(rawValue(action));
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

}  // namespace orvel::TVSummary

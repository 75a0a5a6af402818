#pragma once
// TVDevice: one TV as the session knows it: the bridge's identifier, the shown name and the
// pairing protocols it requires. Built from a "scan" reply entry or from the saved list in the
// defaults file; written back to that list in the same three-key form. A plain value.
//
//   auto tv = TVDevice::fromBridge(entry);             // nothing without a text "id" and "name"
//   if (tv && tv->needsPairing()) store.pair(*tv);

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace orvel {

struct TVDevice {
    std::string id;
    std::string name;
    std::vector<std::string> protocols;  // empty: no pairing needed (every Roku)

    TVDevice() = default;
    // Without protocols given, the TV asks for the two pairings of an Apple TV.
    TVDevice(std::string identifier, std::string displayName,
             std::vector<std::string> pairings = {"AirPlay", "Companion"})
        : id(std::move(identifier)), name(std::move(displayName)), protocols(std::move(pairings)) {}

    bool operator==(const TVDevice&) const = default;

    bool needsPairing() const { return !protocols.empty(); }
    // "Roku" for an identifier beginning with "roku:" (case-sensitive), otherwise "Apple TV".
    std::string_view kind() const;

    // A "scan" entry: needs a text "id" and a text "name"; "protocols" counts only when it is
    // a list of texts, otherwise the TV needs no pairing.
    static std::optional<TVDevice> fromBridge(const nlohmann::json& entry);

    // The saved form {"id", "name", "protocols"}: all three keys required, with those types.
    static std::optional<TVDevice> fromStored(const nlohmann::json& object);
    nlohmann::json stored() const;
};

}  // namespace orvel

template <>
struct std::hash<orvel::TVDevice> {
    std::size_t operator()(const orvel::TVDevice& device) const noexcept;
};

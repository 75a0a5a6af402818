#pragma once
// TVStatus: the last known state of one TV that the session is connected to or watching, kept
// per identifier in the published `statuses`. Written from "state" events; a plain value.

#include <optional>
#include <set>
#include <string>

#include "core/RemoteAction.hpp"

namespace orvel {

struct TVStatus {
    bool connected = false;  // the bridge holds a connection or watch for it
    bool playing = false;
    std::string title;
    std::string app;      // display name of the app in front
    std::string appID;    // that app's identifier
    std::string address;  // network address as the bridge reports it
    std::string power = "Unknown";
    // Uptime at which the current stretch of playback was first seen; what following compares.
    std::optional<double> playingSince;
    std::set<RemoteAction> capabilities;

    bool operator==(const TVStatus&) const = default;
};

}  // namespace orvel

#pragma once
// StatusReport: the fields of one "state" event from the bridge, read with their defaults.
// Every field is optional on the wire and a field of the wrong type counts as missing, so a
// careless or hostile bridge line can never put the session in a state it cannot show.
//
//   auto report = StatusReport::parse(event);
//   if (report.volume) showVolume(*report.volume);   // absent: the TV reports none
//
// Pure; any thread.

#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "core/RemoteAction.hpp"

namespace orvel {

struct StatusReport {
    std::set<RemoteAction> capabilities;  // unknown names dropped
    bool playing = false;                 // only the JSON value true plays
    std::string title;
    std::string artist;
    std::string app;
    std::string appID;  // "app_id"
    std::string address;
    std::string notice;
    double duration = 0;
    double position = 0;
    std::string power = "Unknown";
    std::optional<double> volume;  // none: the TV does not report one
    bool textFocused = false;      // "text_focused"

    bool operator==(const StatusReport&) const = default;

    static StatusReport parse(const nlohmann::json& event);
};

}  // namespace orvel

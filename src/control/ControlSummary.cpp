#include "control/ControlSummary.hpp"

#include "core/TVIdentifier.hpp"
#include "core/TVSummary.hpp"

namespace orvel::ControlSummary {
namespace {

const TVStatus& recordedStatus(const TVDevice& device, const AppState& state) {
    static const TVStatus kUnknown;
    const auto found = state.statuses.find(device.id);
    return found == state.statuses.end() ? kUnknown : found->second;
}

}  // namespace

const std::string& power(const TVDevice& device, const AppState& state) {
    return device.id == state.selectedID ? state.power : recordedStatus(device, state).power;
}

nlohmann::json build(const TVDevice& device, const AppState& state, double now) {
    const bool selected = device.id == state.selectedID;

    // The selected TV speaks through the remote's live state; others through their records.
    const TVStatus& other = recordedStatus(device, state);
    const bool connected = selected ? state.connected : other.connected;
    const bool playing = selected ? state.playing : other.playing;

    nlohmann::json summary = {
        {"name", device.name},
        {"kind", TVIdentifier::kind(device.id)},
        {"selected", selected},
        {"connected", connected},
        {"playing", playing},
        {"title", selected ? state.title : other.title},
        {"app", selected ? state.app : other.app},
        {"power", power(device, state)},
        {"capabilities",
         TVSummary::capabilities(selected ? state.capabilities : other.capabilities)},
        {"appId", other.appID},
        {"address", other.address},
    };

    if (auto found = state.progress.find(device.id); found != state.progress.end()) {
        const Progress& p = found->second;
        const double position =
            TVSummary::currentPosition(p.position, p.at, p.duration, now, playing);
        summary["artist"] = p.artist;
        summary["position"] = TVSummary::roundedPosition(position);
        summary["duration"] = p.duration;
    }
    if (auto icon = TVSummary::appIconUrl(device.id, other.address, other.appID)) {
        summary["appIcon"] = *icon;
    }
    if (selected) {
        if (!state.notice.empty()) summary["notice"] = state.notice;
        // The remote's error line: without an interface, the tool is where it can be read.
        if (!state.error.empty()) summary["error"] = state.error;
        if (state.volume) summary["volume"] = *state.volume;
    }
    return summary;
}

}  // namespace orvel::ControlSummary

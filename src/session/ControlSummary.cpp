#include "session/ControlSummary.hpp"

#include "core/TVIdentifier.hpp"
#include "core/TVSummary.hpp"

namespace orvel::ControlSummary {

nlohmann::json build(const TVDevice& device, const AppState& state, double now) {
    const auto recorded = state.statuses.find(device.id);
    const TVStatus* status = recorded == state.statuses.end() ? nullptr : &recorded->second;
    const bool selected = device.id == state.selectedID;

    // The selected TV speaks through the remote's live state; others through their records.
    static const TVStatus kUnknown;
    const TVStatus& other = status ? *status : kUnknown;
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
        {"power", selected ? state.power : other.power},
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
        if (state.volume) summary["volume"] = *state.volume;
    }
    return summary;
}

}  // namespace orvel::ControlSummary

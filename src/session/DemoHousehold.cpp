#include "session/DemoHousehold.hpp"

#include <algorithm>

namespace orvel::DemoHousehold {

namespace {

TVStatus playing(std::string title, std::string app, double since) {
    TVStatus status;
    status.connected = true;
    status.playing = true;
    status.title = std::move(title);
    status.app = std::move(app);
    status.power = "On";
    status.playingSince = since;
    status.capabilities = {kAllRemoteActions.begin(), kAllRemoteActions.end()};
    return status;
}

void showPlayback(AppState& state, const std::string& id) {
    auto found = state.statuses.find(id);
    const TVStatus status = found == state.statuses.end() ? TVStatus{} : found->second;
    state.playing = status.playing;
    state.title = status.title;
    state.app = status.app;
    state.power = status.power;
}

}  // namespace

std::vector<TVDevice> devices() {
    return {TVDevice(kLivingRoomID, "Living Room", {"AirPlay", "Companion"}),
            TVDevice(kBedroomID, "Bedroom", {"AirPlay", "Companion"})};
}

std::map<std::string, TVStatus> statuses() {
    return {{kLivingRoomID, playing("Severance", "TV", 1)},
            {kBedroomID, playing("The Bear", "Hulu", 2)}};
}

void setUp(AppState& state) {
    state.savedDevices = devices();
    state.devices = state.savedDevices;
    state.selectedID = kLivingRoomID;
    state.connected = true;
    state.capabilities = {kAllRemoteActions.begin(), kAllRemoteActions.end()};
    state.textFocused = true;
    state.volume = kVolume;
    state.statuses = statuses();
    showPlayback(state, state.selectedID);
}

void connect(AppState& state, const std::string& id) {
    state.connected = true;
    state.textFocused = true;
    state.capabilities = {kAllRemoteActions.begin(), kAllRemoteActions.end()};
    showPlayback(state, id);
}

void apply(AppState& state, RemoteAction action, const CommandOptions& options) {
    switch (action) {
        case RemoteAction::playPause:
            state.playing = !state.playing;
            break;
        case RemoteAction::play:
            state.playing = true;
            break;
        case RemoteAction::pause:
            state.playing = false;
            break;
        case RemoteAction::setVolume:
            state.volume = options.volume;
            break;
        case RemoteAction::mute:
            state.volume = state.volume == 0.0 ? kVolume : 0.0;
            break;
        case RemoteAction::wake:
            state.power = "On";
            break;
        case RemoteAction::sleep:
            state.power = "Off";
            break;
        default:
            break;
    }
    if (auto found = state.statuses.find(state.selectedID); found != state.statuses.end()) {
        found->second.playing = state.playing;
    }
}

void stepVolume(AppState& state, int steps) {
    const double level = state.volume.value_or(kVolume) + 2.0 * steps;
    state.volume = std::clamp(level, 0.0, 100.0);
}

}  // namespace orvel::DemoHousehold

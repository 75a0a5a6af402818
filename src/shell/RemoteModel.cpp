#include "shell/RemoteModel.hpp"

#include <cmath>

namespace orvel {

namespace {

RemoteModel::Status statusOf(const AppState& state) {
    RemoteModel::Status status;
    if (state.connecting) {
        status.text = "Connecting…";
    } else if (state.connected && !state.title.empty()) {
        status.symbol = state.playing ? "play.fill" : "pause.fill";
        status.text = state.title;
    } else if (state.connected && !state.app.empty()) {
        status.text = state.app;
    } else if (state.connected) {
        status.text = "Connected";
    } else {
        status.text = state.savedDevices.empty() ? "No TV paired yet" : "Not connected";
    }
    status.help = "Status: " + status.text;
    return status;
}

RemoteAction powerAction(const AppState& state, const std::function<bool(RemoteAction)>& can) {
    if (!can(RemoteAction::sleep)) return RemoteAction::wake;
    if (state.power == "On") return RemoteAction::sleep;
    if (!can(RemoteAction::wake)) return RemoteAction::sleep;
    return RemoteAction::wake;
}

RemoteModel::Power powerOf(const AppState& state, std::string_view tvKind,
                           const std::function<bool(RemoteAction)>& can) {
    const std::string wake = "Wake " + std::string(tvKind);
    const std::string sleep = "Sleep " + std::string(tvKind);
    RemoteModel::Power power;
    power.action = powerAction(state, can);
    power.on = state.connected && state.power == "On";
    power.enabled = can(power.action);
    power.help = power.action == RemoteAction::wake ? wake : sleep;
    power.menu = {{{wake, RemoteAction::wake, can(RemoteAction::wake)},
                   {sleep, RemoteAction::sleep, can(RemoteAction::sleep)}}};
    return power;
}

// The middle transport button: playPause where the TV has it, else what fits the state.
RemoteAction playAction(const AppState& state, const std::function<bool(RemoteAction)>& can) {
    if (can(RemoteAction::playPause)) return RemoteAction::playPause;
    return state.playing ? RemoteAction::pause : RemoteAction::play;
}

}  // namespace

RemoteModel RemoteModel::make(const AppState& state, std::string_view tvKind,
                              const std::function<bool(RemoteAction)>& can) {
    const auto button = [&can](std::string symbol, std::string help, RemoteAction action) {
        return Button{std::move(symbol), std::move(help), action, can(action)};
    };
    const std::string kind(tvKind);
    RemoteModel model;

    if (const TVDevice* selected = state.savedDevice(state.selectedID)) {
        model.pickerTitle = selected->name;
    } else {
        model.pickerTitle = state.savedDevices.empty() ? "Pair a TV" : "Choose a TV";
    }
    for (const auto& device : state.savedDevices) {
        std::string symbol;
        if (device.id == state.selectedID) {
            symbol = "checkmark";
        } else if (auto status = state.statuses.find(device.id);
                   status != state.statuses.end() && status->second.playing) {
            symbol = "play.fill";
        }
        model.pickerEntries.push_back({device.id, device.name, std::move(symbol)});
    }

    model.status = statusOf(state);
    model.power = powerOf(state, tvKind, can);
    // The bridge's notice about the TV has nowhere else to show; an error is newer news.
    model.error = state.error.empty() ? state.notice : state.error;

    model.transport = {
        button("backward.end.fill", "Previous item", RemoteAction::previous),
        button("gobackward.10", "Seek back 10 seconds", RemoteAction::skipBackward),
        button(state.playing ? "pause.fill" : "play.fill", state.playing ? "Pause" : "Play",
               playAction(state, can)),
        button("goforward.10", "Seek forward 10 seconds", RemoteAction::skipForward),
        button("forward.end.fill", "Next item", RemoteAction::next),
    };

    const bool silent = state.volume && *state.volume == 0;
    model.mute = button(silent ? "speaker.slash.fill" : "speaker.wave.2.fill", "Mute / unmute",
                        RemoteAction::mute);
    model.volumeText = "Volume";
    if (state.volume) {
        model.volumeText += " " + std::to_string(std::lround(*state.volume));
    }
    model.volumeDown = button("minus", "Volume down", RemoteAction::volumeDown);
    model.volumeUp = button("plus", "Volume up", RemoteAction::volumeUp);

    model.navigationExpanded = state.navigationExpanded;
    model.navigation = {state.navigationExpanded ? "Hide navigation" : "Show navigation", "dpad",
                        "chevron.right", true};
    model.pad = {
        button("chevron.up", "Up", RemoteAction::up),
        button("chevron.down", "Down", RemoteAction::down),
        button("chevron.left", "Left", RemoteAction::left),
        button("chevron.right", "Right", RemoteAction::right),
        button("", "OK", RemoteAction::select),
        button("chevron.backward", "Back", RemoteAction::back),
        button("house", "Home", RemoteAction::home),
    };

    model.textEntryVisible = state.textEntryVisible;
    model.textPlaceholder = "Type on " + kind;
    model.text = {model.textPlaceholder, "keyboard", "Ctrl+K", can(RemoteAction::text)};
    model.apps = {"Open App…", "square.grid.2x2", "",
                  state.connected && can(RemoteAction::launchApp), "Open an app on " + kind};
    model.settings = {"Orvel Settings…", "gearshape", "Ctrl+,", true};
    return model;
}

}  // namespace orvel

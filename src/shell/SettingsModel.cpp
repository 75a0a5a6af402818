#include "shell/SettingsModel.hpp"

#include "core/TVIdentifier.hpp"
#include "core/UnicodeScalars.hpp"
#include "session/AppInfo.hpp"

namespace orvel {

namespace {

SettingsModel::SavedRow savedRow(const AppState& state, const TVDevice& tv) {
    SettingsModel::SavedRow row;
    row.id = tv.id;
    row.name = tv.name;
    row.menuLabel = "Options for " + tv.name;
    if (const auto status = state.statuses.find(tv.id); status != state.statuses.end()) {
        if (status->second.connected) row.dot = SettingsModel::Dot::connected;
        if (status->second.playing) {
            row.dot = SettingsModel::Dot::playing;
            row.playing = status->second.title.empty() ? "Playing" : status->second.title;
        }
    }
    row.disconnects = state.selectedID == tv.id && state.connected;
    row.connectTitle = row.disconnects ? "Disconnect" : "Connect";
    return row;
}

SettingsModel::Access accessLine(const AppState& state, const SettingsModel::View& view) {
    if (view.demo) return {};
    switch (state.keyboardAccess) {
        case KeyboardAccess::needsPermission:
            return {.button = view.accessStep, .text = {}};
        case KeyboardAccess::unavailable:
            return {.button = {}, .text = SettingsModel::kCaptureFailed};
        case KeyboardAccess::ready:
        case KeyboardAccess::suspended:
            break;
    }
    return {};
}

}  // namespace

SettingsModel SettingsModel::make(const AppState& state, const View& view) {
    SettingsModel model;
    const bool tvsTab = state.settingsTab == "tvs";
    model.tvsButton = tvsTab ? "Done" : "Pair New…";
    for (const TVDevice& tv : state.savedDevices) model.saved.push_back(savedRow(state, tv));
    model.menusEnabled = !state.pairingDevice;
    model.savedScrolls = state.savedDevices.size() > 2;

    if (state.pairingDevice) {
        model.pairing =
            Pairing{.prompt = "Enter the code shown on " + state.pairingDevice->name,
                    .pin = state.pairingPIN,
                    .busy = state.pairingBusy,
                    .canPair = !state.pairingBusy && UnicodeScalars::count(state.pairingPIN) == 4u};
    }
    model.nearbyShown = !state.pairingDevice && tvsTab;
    model.scanning = state.scanning;
    model.nearbyHeading = state.scanning ? "Finding TVs…" : "Nearby";
    for (const TVDevice& tv : state.devices) {
        if (state.savedDevice(tv.id)) continue;
        model.nearby.push_back({tv.id, tv.name, std::string(TVIdentifier::kind(tv.id))});
    }
    model.nearbyEmpty = model.nearby.empty() && !state.scanning;
    if (!state.scanning) model.nearbyNotice = state.scanNotice;

    model.launchAtLogin = state.launchAtLogin;
    model.followPlaying = state.followPlaying;
    model.showsTray = state.showsMenuBarIcon;
    if (!state.showsMenuBarIcon) {
        model.trayHint =
            "Open the remote with " + state.shortcutLabel + ", or by opening Orvel again.";
    }
    model.mediaControls = state.showsInMediaControls;
    model.mediaKeys = state.mediaKeys;
    model.commandVolume = state.commandVolume;
    model.access = accessLine(state, view);
    model.shortcutError = state.shortcutError;
    model.shortcutButton = state.recordingShortcut ? "Press shortcut…" : state.shortcutLabel;
    model.installButton = view.installNote.empty() ? "Install" : "Reinstall";
    model.installNote = view.installNote.empty() ? kInstallHint : view.installNote;
    if (!state.credentialStorage.empty()) model.storage.push_back(state.credentialStorage);
    model.storage.insert(model.storage.end(), state.storageProblems.begin(),
                         state.storageProblems.end());

    model.error = state.error;
    model.aboutShown = view.aboutExpanded;
    model.aboutButton = view.aboutExpanded ? "Hide About" : "About Orvel";
    model.aboutTitle = "Orvel Remote · " + std::string(AppInfo::version());
    return model;
}

bool SettingsModel::pairingEnded(const AppState& before, const AppState& after) {
    return before.pairingDevice && !after.pairingDevice && after.error.empty();
}

}  // namespace orvel

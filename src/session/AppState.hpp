#pragma once
// AppState: everything the session publishes, in one place. The shell, the control handler and
// the tests read it from AppStore::state() and learn of changes through AppStore::observe();
// only AppStore writes it. Fields keep the order of their meaning: found and saved TVs, the
// connection and now playing of the selected TV, every TV's status, the remote's view state,
// pairing, the preferences, and what went wrong with the files kept for them.

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/KeyboardShortcut.hpp"
#include "core/RemoteAction.hpp"
#include "session/KeyboardAccess.hpp"
#include "session/Progress.hpp"
#include "session/TVDevice.hpp"
#include "session/TVStatus.hpp"

namespace orvel {

struct AppState {
    // TVs
    std::vector<TVDevice> devices;       // found by the last scan, in the bridge's order
    std::vector<TVDevice> savedDevices;  // paired, in pairing order; persisted
    std::string selectedID;              // the TV the remote controls; empty: none

    // Connection of the selected TV
    bool connected = false;
    bool connecting = false;
    bool scanning = false;
    std::string scanNotice;  // why the last scan's list may be short; empty: nothing to say
    std::string error;       // the remote's error line; empty: none
    std::set<RemoteAction> capabilities;

    // Now playing on the selected TV
    bool playing = false;
    std::string power = "Unknown";
    bool textFocused = false;
    std::string title;
    std::string artist;
    std::string app;
    std::string notice;  // the bridge's remark about the TV, shown beside the remote
    double duration = 0;
    double position = 0;
    std::optional<double> volume;  // 0 to 100; none while unknown

    // Every connected or watched TV, by identifier
    std::map<std::string, TVStatus> statuses;
    // Where each of them stood at its latest report. A change here alone wakes no observer:
    // positions move with every report; readers extrapolate from `at`.
    std::map<std::string, Progress> progress;

    // The remote's view
    bool navigationExpanded = false;
    int focusTextRequest = 0;  // each increase asks the text field to take the focus
    bool textEntryVisible = false;
    std::string settingsTab = "general";

    // Pairing
    std::optional<TVDevice> pairingDevice;  // while set, no scan or connection starts
    std::string pairingProtocol;
    std::string pairingPIN;
    bool pairingBusy = false;

    // Keyboard
    KeyboardAccess keyboardAccess = KeyboardAccess::needsPermission;
    bool recordingShortcut = false;
    std::string shortcutError;

    // Preferences (persisted, except launchAtLogin, which is the login item's own state)
    bool mediaKeys = true;
    bool commandVolume = true;
    bool followPlaying = true;
    bool showsMenuBarIcon = true;
    bool showsInMediaControls = true;  // the TV as a media player on the desktop
    bool launchAtLogin = false;
    std::uint32_t shortcutCode = KeyboardShortcut::kDefault.code;
    std::uint32_t shortcutModifiers = KeyboardShortcut::kDefault.modifiers;
    std::string shortcutLabel{KeyboardShortcut::kDefaultLabel};

    // Storage: what went wrong with the settings file or the credential store, one sentence
    // each, in the order found and each once, for the settings to show. A failed save of the
    // settings gives way to the outcome of the next one.
    std::vector<std::string> storageProblems;
    // Where pairing credentials are kept (and why not in the keyring), once the store is open.
    std::string credentialStorage;

    void noteStorageProblem(const std::string& sentence) {
        if (sentence.empty() ||
            std::ranges::find(storageProblems, sentence) != storageProblems.end()) {
            return;
        }
        storageProblems.push_back(sentence);
    }

    // The saved TV with this identifier; null when none.
    const TVDevice* savedDevice(std::string_view id) const {
        auto found = std::find_if(savedDevices.begin(), savedDevices.end(),
                                  [id](const TVDevice& device) { return device.id == id; });
        return found == savedDevices.end() ? nullptr : &*found;
    }

    // The saved TV with this identifier, else the found one; null when neither.
    const TVDevice* knownDevice(std::string_view id) const {
        if (const TVDevice* saved = savedDevice(id)) return saved;
        auto found = std::find_if(devices.begin(), devices.end(),
                                  [id](const TVDevice& device) { return device.id == id; });
        return found == devices.end() ? nullptr : &*found;
    }

    bool operator==(const AppState&) const = default;
};

}  // namespace orvel

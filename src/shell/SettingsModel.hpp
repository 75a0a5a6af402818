#pragma once
// SettingsModel: everything the settings window shows, worked out from the session's published
// state and the view's own two values (the About section, the install note), so that the
// widgets only copy it and the rules can be tested without a screen.
//
//   auto model = SettingsModel::make(store.state(), {.demo = store.demo(),
//                                                    .installNote = note});
//   if (SettingsModel::pairingEnded(before, store.state())) store.setSettingsTab("general");
//
// A plain value, rebuilt on every change; any thread (it touches nothing but its arguments).

#include <optional>
#include <string>
#include <vector>

#include "session/AppState.hpp"

namespace orvel {

struct SettingsModel {
    struct View {
        bool demo = false;
        bool aboutExpanded = false;
        std::string installNote = {};  // empty: nothing installed yet
        // What the media-key capture needs of this desktop while it waits for consent.
        std::string accessStep = kAskDesktop;
    };

    enum class Dot { off, connected, playing };

    struct SavedRow {
        std::string id;
        std::string name;
        Dot dot = Dot::off;
        std::optional<std::string> playing;  // the title, or "Playing"; none: not playing
        std::string menuLabel;               // "Options for " + name
        std::string connectTitle;            // "Connect" or "Disconnect"
        bool disconnects = false;
        bool operator==(const SavedRow&) const = default;
    };
    struct NearbyRow {
        std::string id;
        std::string name;
        std::string kind;  // "Roku" or "Apple TV"
        bool operator==(const NearbyRow&) const = default;
    };
    struct Pairing {
        std::string prompt;
        std::string pin;
        bool busy = false;
        bool canPair = false;  // four characters and no step pending
        bool operator==(const Pairing&) const = default;
    };
    // The media-key line: a button that asks the desktop, a sentence, or nothing.
    struct Access {
        std::string button;
        std::string text;
        bool operator==(const Access&) const = default;
    };

    // TVs
    std::string tvsButton;  // "Done" or "Pair New…"
    std::vector<SavedRow> saved;
    bool menusEnabled = true;
    bool savedScrolls = false;
    std::optional<Pairing> pairing;
    bool nearbyShown = false;
    std::string nearbyHeading;
    bool scanning = false;
    std::vector<NearbyRow> nearby;
    bool nearbyEmpty = false;
    std::string nearbyNotice;  // the bridge's word on a short list; empty: hidden

    // Preferences
    bool launchAtLogin = false;
    bool followPlaying = false;
    bool showsTray = false;
    std::string trayHint;  // empty while the tray item shows
    bool mediaControls = false;
    bool mediaKeys = false;
    bool commandVolume = false;
    Access access;
    std::string shortcutError;
    std::string shortcutButton;
    std::string installButton;
    std::string installNote;
    // Where pairing credentials are kept, and what went wrong with them and the settings file.
    std::vector<std::string> storage;

    std::string error;
    std::string aboutButton;
    bool aboutShown = false;
    std::string aboutTitle;

    static constexpr const char* kAskDesktop = "Allow in the desktop's shortcuts dialog…";
    static constexpr const char* kCaptureFailed = "Keyboard capture failed. Quit and reopen Orvel.";
    static constexpr const char* kInstallHint =
        "Lets scripts and other apps control your TV, e.g. orvel --tv roku home.";

    static SettingsModel make(const AppState& state, const View& view);

    // A pairing that has just ended (the TV set before, none now) without an error: the TV
    // list closes. A failed one stays open with its sentence.
    static bool pairingEnded(const AppState& before, const AppState& after);

    bool operator==(const SettingsModel&) const = default;
};

}  // namespace orvel

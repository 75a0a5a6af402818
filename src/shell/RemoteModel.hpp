#pragma once
// RemoteModel: everything the remote shows, worked out from the session's published state, so
// that the widgets only copy it and the rules can be tested without a screen. Symbols are the
// names Symbols draws; an empty symbol shows none.
//
//   auto model = RemoteModel::make(store.state(), store.tvKind(),
//                                  [&](RemoteAction a) { return store.can(a); });
//
// A plain value, rebuilt on every change; any thread (it touches nothing but its arguments).

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RemoteAction.hpp"
#include "session/AppState.hpp"

namespace orvel {

struct RemoteModel {
    struct PickerEntry {
        std::string id;
        std::string name;
        std::string symbol;  // "checkmark" (selected), "play.fill" (playing) or none
    };
    struct Status {
        std::string symbol;
        std::string text;
        std::string help;
    };
    struct Button {
        std::string symbol;
        std::string help;
        RemoteAction action = RemoteAction::select;
        bool enabled = false;
    };
    struct MenuEntry {
        std::string title;
        RemoteAction action = RemoteAction::wake;
        bool enabled = false;
    };
    struct Power {
        RemoteAction action = RemoteAction::wake;
        bool on = false;
        bool enabled = false;
        std::string help;
        std::array<MenuEntry, 2> menu;  // wake, then sleep
    };
    struct Row {
        std::string title;
        std::string symbol;
        std::string trailing;  // a key combination, or (navigation) a symbol
        bool enabled = true;
        std::string help = {};  // empty: the title
    };

    static constexpr const char* kPairNew = "Pair New…";
    static constexpr const char* kPickerHelp = "Choose paired TV";

    std::string pickerTitle;
    std::vector<PickerEntry> pickerEntries;  // the saved TVs, in order; "Pair New…" follows
    Status status;
    Power power;
    std::string error;                // the error line (else the notice); empty: hidden
    std::array<Button, 5> transport;  // previous, back 10 s, play/pause, forward 10 s, next
    Button mute;
    std::string volumeText;  // "Volume", with the whole-number level when known
    Button volumeDown;       // actions for can(); the view adjusts the volume instead
    Button volumeUp;
    Row navigation;
    bool navigationExpanded = false;  // the pad shows, the trailing chevron points down
    std::array<Button, 7> pad;        // up, down, left, right, OK, back, home
    bool textEntryVisible = false;    // the text field in place of the text row
    std::string textPlaceholder;
    Row text;
    Row apps;  // "Open App…": while connected to a TV that launches apps
    Row settings;

    static RemoteModel make(const AppState& state, std::string_view tvKind,
                            const std::function<bool(RemoteAction)>& can);
};

}  // namespace orvel

#pragma once
// The action names a bridge request may carry, in the remote's canonical order (that order is
// also the order of a TV's "capabilities" list). Constant data; any thread.

#include <array>
#include <string_view>

namespace orvel {

inline constexpr std::array<std::string_view, 25> kBridgeActions = {
    "up",       "down",        "left",          "right",     "select",     "back",      "menu",
    "home",     "appSwitcher", "controlCenter", "playPause", "play",       "pause",     "next",
    "previous", "skipForward", "skipBackward",  "volumeUp",  "volumeDown", "setVolume", "mute",
    "wake",     "sleep",       "text",          "launchApp"};

inline bool isBridgeAction(std::string_view name) {
    for (auto action : kBridgeActions) {
        if (action == name) return true;
    }
    return false;
}

}  // namespace orvel

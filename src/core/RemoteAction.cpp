#include "core/RemoteAction.hpp"

namespace orvel {
namespace {

// Indexed by the enumerator's value.
constexpr std::array<std::string_view, kRemoteActionCount> kRawValues = {
    "up",       "down",        "left",          "right",     "select",     "back",      "menu",
    "home",     "appSwitcher", "controlCenter", "playPause", "play",       "pause",     "next",
    "previous", "skipForward", "skipBackward",  "volumeUp",  "volumeDown", "setVolume", "mute",
    "wake",     "sleep",       "text",          "launchApp",
};

constexpr std::array<RemoteAction, kRemoteActionCount> makeAll() {
    std::array<RemoteAction, kRemoteActionCount> all{};
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<RemoteAction>(i);
    return all;
}

}  // namespace

const std::array<RemoteAction, kRemoteActionCount> kAllRemoteActions = makeAll();

std::string_view rawValue(RemoteAction action) {
    auto index = static_cast<std::size_t>(action);
    return index < kRawValues.size() ? kRawValues[index] : std::string_view{};
}

std::optional<RemoteAction> remoteActionFromRaw(std::string_view raw) {
    for (std::size_t i = 0; i < kRawValues.size(); ++i) {
        if (kRawValues[i] == raw) return static_cast<RemoteAction>(i);
    }
    return std::nullopt;
}

}  // namespace orvel

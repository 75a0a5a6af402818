#include "bridge/roku/RokuKeys.hpp"

#include <array>
#include <utility>

#include "core/PercentEncoding.hpp"
#include "core/UnicodeScalars.hpp"

namespace orvel {
namespace {

constexpr std::array<std::pair<RemoteAction, std::string_view>, 16> kRokuKeyTable = {{
    {RemoteAction::up, "Up"},
    {RemoteAction::down, "Down"},
    {RemoteAction::left, "Left"},
    {RemoteAction::right, "Right"},
    {RemoteAction::select, "Select"},
    {RemoteAction::back, "Back"},
    {RemoteAction::menu, "Info"},
    {RemoteAction::home, "Home"},
    {RemoteAction::playPause, "Play"},
    {RemoteAction::skipForward, "Fwd"},
    {RemoteAction::skipBackward, "InstantReplay"},
    {RemoteAction::volumeUp, "VolumeUp"},
    {RemoteAction::volumeDown, "VolumeDown"},
    {RemoteAction::mute, "VolumeMute"},
    {RemoteAction::wake, "PowerOn"},
    {RemoteAction::sleep, "PowerOff"},
}};

// The backend takes these with more than one key or request.
constexpr std::array<RemoteAction, 4> kRokuComposedActions = {
    RemoteAction::play, RemoteAction::pause, RemoteAction::text, RemoteAction::launchApp};

bool rokuTakes(RemoteAction action) {
    for (const auto& [mapped, key] : kRokuKeyTable) {
        if (mapped == action) return true;
    }
    for (const auto composed : kRokuComposedActions) {
        if (composed == action) return true;
    }
    return false;
}

}  // namespace

bool rokuNeedsTV(RemoteAction action) {
    switch (action) {
        case RemoteAction::volumeUp:
        case RemoteAction::volumeDown:
        case RemoteAction::mute:
        case RemoteAction::wake:
        case RemoteAction::sleep:
            return true;
        default:
            return false;
    }
}

std::optional<std::string> rokuKeyFor(RemoteAction action) {
    for (const auto& [mapped, key] : kRokuKeyTable) {
        if (mapped == action) return std::string(key);
    }
    return std::nullopt;
}

std::vector<RemoteAction> rokuCapabilities(bool isTv, bool poweredOff) {
    std::vector<RemoteAction> actions;
    for (const auto action : kAllRemoteActions) {
        if (!rokuTakes(action)) continue;
        if (!isTv && rokuNeedsTV(action)) continue;
        // A stick has no power of its own to be off: its keys always reach it.
        if (isTv && poweredOff && action != RemoteAction::wake) continue;
        actions.push_back(action);
    }
    return actions;
}

std::optional<std::vector<std::string>> rokuLiteralPaths(std::string_view utf8) {
    if (!UnicodeScalars::count(utf8)) return std::nullopt;
    std::vector<std::string> paths;
    std::size_t start = 0;
    // Well-formed: every byte that is not a continuation byte starts the next scalar.
    for (std::size_t i = 1; i <= utf8.size(); ++i) {
        if (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
        paths.push_back("/keypress/Lit_" + percentEncode(utf8.substr(start, i - start)));
        start = i;
    }
    return paths;
}

std::string rokuLaunchPath(std::string_view appID) {
    return "/launch/" + percentEncode(appID);
}

}  // namespace orvel

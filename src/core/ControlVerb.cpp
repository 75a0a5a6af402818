#include "core/ControlVerb.hpp"

#include <algorithm>

namespace orvel::ControlVerb {

const std::array<Entry, 20> kActions = {{
    {"play-pause", RemoteAction::playPause},
    {"play", RemoteAction::play},
    {"pause", RemoteAction::pause},
    {"next", RemoteAction::next},
    {"previous", RemoteAction::previous},
    {"skip-forward", RemoteAction::skipForward},
    {"skip-back", RemoteAction::skipBackward},
    {"up", RemoteAction::up},
    {"down", RemoteAction::down},
    {"left", RemoteAction::left},
    {"right", RemoteAction::right},
    {"ok", RemoteAction::select},
    {"select", RemoteAction::select},
    {"back", RemoteAction::back},
    {"home", RemoteAction::home},
    {"volume-up", RemoteAction::volumeUp},
    {"volume-down", RemoteAction::volumeDown},
    {"mute", RemoteAction::mute},
    {"wake", RemoteAction::wake},
    {"sleep", RemoteAction::sleep},
}};

const std::array<std::string_view, 6> kRepeatable = {"volume-up", "volume-down", "up",
                                                     "down",      "left",        "right"};

std::optional<RemoteAction> action(std::string_view word) {
    auto it = std::find_if(kActions.begin(), kActions.end(),
                           [word](const Entry& entry) { return entry.word == word; });
    if (it == kActions.end()) return std::nullopt;
    return it->action;
}

bool isRepeatable(std::string_view word) {
    return std::find(kRepeatable.begin(), kRepeatable.end(), word) != kRepeatable.end();
}

std::string_view name(RemoteAction action) {
    for (const Entry& entry : kActions) {
        // "select" is only a synonym; users are told "ok".
        if (entry.action == action && entry.word != "select") return entry.word;
    }
    return rawValue(action);
}

}  // namespace orvel::ControlVerb

#include "core/InputPolicy.hpp"

#include "core/MediaKeyPress.hpp"

namespace orvel::InputPolicy {

namespace {

enum class Gate { volume, transport };

struct MediaKeyRule {
    Gate gate;
    RemoteAction action;
};

std::optional<MediaKeyRule> mediaKeyRule(std::uint16_t code) {
    switch (code) {
        case MediaKeyPress::kVolumeUp:
            return MediaKeyRule{Gate::volume, RemoteAction::volumeUp};
        case MediaKeyPress::kVolumeDown:
            return MediaKeyRule{Gate::volume, RemoteAction::volumeDown};
        case MediaKeyPress::kMute:
            return MediaKeyRule{Gate::volume, RemoteAction::mute};
        case MediaKeyPress::kPlay:
            return MediaKeyRule{Gate::transport, RemoteAction::playPause};
        case MediaKeyPress::kNext:
        case MediaKeyPress::kFast:
            return MediaKeyRule{Gate::transport, RemoteAction::next};
        case MediaKeyPress::kPrevious:
        case MediaKeyPress::kRewind:
            return MediaKeyRule{Gate::transport, RemoteAction::previous};
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<RemoteAction> supportedAction(RemoteAction action, bool playing,
                                            const std::set<RemoteAction>& supported) {
    if (supported.contains(action)) return action;
    if (action != RemoteAction::playPause) return std::nullopt;
    const RemoteAction fallback = playing ? RemoteAction::pause : RemoteAction::play;
    if (supported.contains(fallback)) return fallback;
    return std::nullopt;
}

std::optional<RemoteAction> mediaKey(std::uint16_t code, bool super, bool otherModifiers,
                                     bool connected, bool transportEnabled, bool volumeEnabled,
                                     const std::set<RemoteAction>& supported, bool playing) {
    if (!connected || !super || otherModifiers) return std::nullopt;
    const auto rule = mediaKeyRule(code);
    if (!rule) return std::nullopt;
    if (!(rule->gate == Gate::volume ? volumeEnabled : transportEnabled)) return std::nullopt;
    return supportedAction(rule->action, playing, supported);
}

std::optional<RemoteAction> remoteKey(std::uint16_t code, bool editingText, bool hasModifiers) {
    if (editingText || hasModifiers) return std::nullopt;
    switch (code) {
        case 126:
            return RemoteAction::up;
        case 125:
            return RemoteAction::down;
        case 123:
            return RemoteAction::left;
        case 124:
            return RemoteAction::right;
        case 36:  // Return
        case 76:  // Enter on the keypad
            return RemoteAction::select;
        case 49:  // Space
            return RemoteAction::playPause;
        case 51:   // Delete (backspace)
        case 117:  // Forward delete
            return RemoteAction::back;
        default:
            return std::nullopt;
    }
}

}  // namespace orvel::InputPolicy

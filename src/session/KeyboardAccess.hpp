#pragma once
// KeyboardAccess: the state of media-key capture that the settings show. The media-key
// capture is its only writer; the session publishes it. Raw values travel as texts.

#include <string_view>

namespace orvel {

enum class KeyboardAccess {
    needsPermission,  // the backend cannot capture keys here
    unavailable,      // it could, but capturing failed
    ready,
    suspended,  // switched off: demo mode, sleep, or another user's session
};

constexpr std::string_view rawValue(KeyboardAccess access) {
    switch (access) {
        case KeyboardAccess::needsPermission:
            return "needsPermission";
        case KeyboardAccess::unavailable:
            return "unavailable";
        case KeyboardAccess::ready:
            return "ready";
        case KeyboardAccess::suspended:
            return "suspended";
    }
    return "needsPermission";
}

}  // namespace orvel

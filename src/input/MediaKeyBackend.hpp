#pragma once
// MediaKeyBackend: what MediaKeys needs of the desktop to take the media and volume keys while
// Super is held. The X11 backend grabs Super with the XF86Audio keys on the root window, only
// for the codes asked for, so that every other key and the keys without Super reach the desktop
// untouched; a fake stands in for tests.
//
//   if (backend.readiness() == MediaKeyBackend::Readiness::ready)
//       backend.capture({MediaKeyPress::kPlay, MediaKeyPress::kNext}, onPress);
//   backend.capture({}, onPress);   // releases every key
//
// Owner: MediaKeys. Thread: the loop thread only; presses arrive there too, outside of any call
// into the backend. Ends with capture({}) or destruction, which release every key.

#include <cstdint>
#include <functional>
#include <set>

#include "core/MediaKeyPress.hpp"

namespace orvel {

class MediaKeyBackend {
public:
    enum class Readiness {
        ready,            // keys can be captured here
        needsPermission,  // the desktop wants the user's consent first (requestAccess())
        unavailable,      // no desktop to capture from (no X server, no portal)
    };

    // One event of a captured key with the modifiers held: `super`, and any of Shift, Ctrl and
    // Alt. Returns true when the application takes the event; false lets it go on to the
    // desktop where the backend can do that.
    using Presses =
        std::function<bool(const MediaKeyPress& press, bool super, bool otherModifiers)>;

    virtual ~MediaKeyBackend() = default;

    // Cheap; asked on every sync.
    virtual Readiness readiness() = 0;
    // Holds exactly the keys of `codes` (media-key codes of MediaKeyPress) with Super, and
    // releases the others. False when the desktop refused one: then nothing is held.
    virtual bool capture(const std::set<std::uint16_t>& codes, Presses presses) = 0;
    // True while at least one key is held.
    virtual bool capturing() const = 0;
    // Asks the desktop for the user's consent, where it wants one.
    virtual void requestAccess() {}
};

}  // namespace orvel

#pragma once
// HotKeyBackend: what GlobalHotKey needs of the desktop to hold one system-wide shortcut. The X11
// backend grabs the key on the root window; a fake stands in for tests. The stored shortcut keeps
// its macOS key code and modifier mask (KeyboardShortcut); the backend translates (KeyCodes).
//
//   if (auto failure = backend.start([&](std::uint32_t id, bool pressed) { ... })) ...
//   auto grabbed = backend.grab(shortcut, 7);   // Token, or the Refusal
//   backend.ungrab(std::get<HotKeyBackend::Token>(grabbed));
//
// Owner: GlobalHotKey. Thread: the loop thread only; events arrive there too, outside of any
// grab or ungrab call. Ends with stop() or destruction, which release every grab.

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

#include "core/KeyboardShortcut.hpp"

namespace orvel {

class HotKeyBackend {
public:
    using Token = std::uint64_t;

    // Why the backend could not start at all.
    struct StartFailure {
        // The desktop offers no global shortcuts to applications (a Wayland session without the
        // portal's), rather than a failure with a code.
        bool unsupported = false;
        std::int32_t code = 0;  // the system's error code otherwise
        bool operator==(const StartFailure&) const = default;
    };

    // Why one grab was refused.
    struct Refusal {
        bool inUse = false;     // another program holds this combination
        std::int32_t code = 0;  // the system's error code otherwise
        bool operator==(const Refusal&) const = default;
    };

    // A press (true) or release (false) of the grab made under `identifier`.
    using Events = std::function<void(std::uint32_t identifier, bool pressed)>;

    virtual ~HotKeyBackend() = default;

    // Connects to the desktop; events go to `events` from then on. Nothing when started (also
    // when it already was).
    virtual std::optional<StartFailure> start(Events events) = 0;
    // Grabs `shortcut`; its events carry `identifier`. Leaves every other grab alone.
    virtual std::variant<Token, Refusal> grab(const KeyboardShortcut& shortcut,
                                              std::uint32_t identifier) = 0;
    virtual void ungrab(Token token) = 0;
    // Releases every grab and stops events; start() may be called again.
    virtual void stop() = 0;
};

}  // namespace orvel

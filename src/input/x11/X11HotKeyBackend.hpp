#pragma once
// X11HotKeyBackend: the global shortcut as a passive key grab on the root window, for the
// shortcut's modifiers under every combination of Num Lock, Caps Lock and Scroll Lock, so the
// locks never stop it. A grab refused with BadAccess is a combination another client holds.
//
//   X11HotKeyBackend backend(X11Connection::create(loop, watch));
//   if (!backend.start(events)) auto grabbed = backend.grab(KeyboardShortcut::kDefault, 1);
//
// Owner: GlobalHotKey. Thread: the loop thread only; events come from the connection's drain,
// never from inside grab() or ungrab(). Ends with stop() or destruction, which release every
// grab. While the server is away the grabs are kept and made again once the connection is
// reopened (by the media keys' next sync, or by this backend every few seconds); a grab that
// cannot be made any more is dropped and its token ungrabs nothing.

#include <memory>

#include "input/HotKeyBackend.hpp"
#include "input/x11/X11Connection.hpp"

namespace orvel {

class X11HotKeyBackend final : public HotKeyBackend {
public:
    // Refusal codes of our own, outside the X error codes (1 to 255).
    static constexpr std::int32_t kNoSuchKey = -1;   // no key of this keyboard types it
    static constexpr std::int32_t kNotStarted = -2;  // not started, or the server went away
    // How often it tries to reconnect after the server went away.
    static constexpr double kReconnectSeconds = 3.0;

    explicit X11HotKeyBackend(std::shared_ptr<X11Connection> connection);
    ~X11HotKeyBackend() override;
    X11HotKeyBackend(const X11HotKeyBackend&) = delete;
    X11HotKeyBackend& operator=(const X11HotKeyBackend&) = delete;

    std::optional<StartFailure> start(Events events) override;
    std::variant<Token, Refusal> grab(const KeyboardShortcut& shortcut,
                                      std::uint32_t identifier) override;
    void ungrab(Token token) override;
    void stop() override;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace orvel

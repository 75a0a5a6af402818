#pragma once
// X11MediaKeyBackend: Super with the XF86Audio keys, grabbed on the root window for exactly the
// codes asked for (under every combination of the locks); the keys without Super are never
// grabbed. The grabs freeze the keyboard on each press until the application has decided: a
// press it takes is kept with the rest of that press (repeats, release); one it leaves is
// replayed to the focused window as if nothing had been grabbed.
//
//   X11MediaKeyBackend backend(X11Connection::create(loop, watch));
//   if (backend.readiness() == Readiness::ready) backend.capture({MediaKeyPress::kPlay}, presses);
//
// Owner: MediaKeys. Thread: the loop thread only; presses come from the connection's drain.
// Ends with capture({}) or destruction. A broken connection drops every grab; the next
// readiness() reconnects and the next capture() grabs again.

#include <map>
#include <memory>

#include "input/MediaKeyBackend.hpp"
#include "input/x11/X11Connection.hpp"

namespace orvel {

class X11MediaKeyBackend final : public MediaKeyBackend {
public:
    explicit X11MediaKeyBackend(std::shared_ptr<X11Connection> connection);
    ~X11MediaKeyBackend() override;
    X11MediaKeyBackend(const X11MediaKeyBackend&) = delete;
    X11MediaKeyBackend& operator=(const X11MediaKeyBackend&) = delete;

    Readiness readiness() override;
    bool capture(const std::set<std::uint16_t>& codes, Presses presses) override;
    bool capturing() const override;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace orvel

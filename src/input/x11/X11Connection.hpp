#pragma once
// X11Connection: the one connection to the X server that the hot-key and media-key backends
// share. It keeps the keyboard's keysym table and the masks of the lock modifiers current
// (XKB map notifications), asks XKB for detectable auto-repeat (a held key repeats its press without
// fake releases), watches its descriptor on the loop and hands every event to its subscribers.
//
//   auto x11 = X11Connection::create(loop, [&](int fd, auto ready) { return watch(fd, ready); });
//   if (auto code = x11->open()) fail(*code);   // the xcb error code
//
// Owner: shared by the backends (shared_ptr; the descriptor watch and posted drains hold it
// weakly and check the generation). Thread: the loop thread only. Ends with close() or
// destruction; a broken connection closes itself, tells the subscribers and may be reopened,
// which tells them too.

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/MainLoop.hpp"

namespace orvel {

class X11Connection : public std::enable_shared_from_this<X11Connection> {
public:
    using WatchReadable = std::function<CancelHandle(int fd, std::function<void()> onReadable)>;
    using OnEvent = std::function<void(const xcb_generic_event_t& event)>;

    // How a key grab was refused.
    struct GrabError {
        std::uint8_t code = 0;  // the X error code; 10 (BadAccess): another client holds it
    };
    static constexpr std::uint8_t kBadAccess = 10;

    static std::shared_ptr<X11Connection> create(MainLoop& loop, WatchReadable watchReadable);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // Connects to $DISPLAY unless connected. Nothing on success, else xcb's error code.
    std::optional<int> open();
    bool isOpen() const;
    void close();
    // The socket to the server, -1 when closed. Tests cut it to play a server that went away.
    int descriptor() const;
    // Changes with every connection made: grabs of an older one are gone with it.
    std::uint64_t generation() const { return generation_; }

    // Each event goes to every subscriber in the order they came, after the connection has
    // taken the mapping changes; `onLost` runs when the server goes away, `onOpened` when a
    // later open() connects again. The handle ends it.
    [[nodiscard]] CancelHandle subscribe(OnEvent onEvent, std::function<void()> onLost = {},
                                         std::function<void()> onOpened = {});
    MainLoop& loop() const { return loop_; }

    // The keycodes that type `keysym`; empty when this keyboard has none (or no connection).
    std::vector<xcb_keycode_t> keycodesFor(std::uint32_t keysym) const;
    // The keysym of a keycode in its first column, 0 when none.
    std::uint32_t keysymOf(xcb_keycode_t keycode) const;
    // Num Lock, Caps Lock and Scroll Lock: the state bits that grabs and events ignore.
    std::uint16_t lockMask() const;

    // Grabs the keys on the root window with `modifiers` under every combination of the locks,
    // all or none: on a refusal the variants taken are released again. `syncKeyboard` freezes
    // the keyboard on each press until allowEvents().
    std::optional<GrabError> grabKeys(const std::vector<xcb_keycode_t>& keycodes,
                                      std::uint16_t modifiers, bool syncKeyboard);
    void ungrabKeys(const std::vector<xcb_keycode_t>& keycodes, std::uint16_t modifiers);
    // Every grab of these keys under any modifiers: after a mapping change, when the lock masks
    // the grabs were made with may be gone.
    void ungrabKeysEntirely(const std::vector<xcb_keycode_t>& keycodes);
    // True for the notification that keys or modifiers moved (XKB's, or the core MappingNotify
    // without XKB), after which grabs are redone; the connection has caught up by then.
    bool remapsKeys(const xcb_generic_event_t& event) const;
    // The event as a key press or release; null for any other event.
    static const xcb_key_press_event_t* asKeyEvent(const xcb_generic_event_t& event) {
        const auto type = event.response_type & 0x7f;
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return nullptr;
        return reinterpret_cast<const xcb_key_press_event_t*>(&event);
    }
    // Ends the freeze of a synchronous grab: true lets the press go on to the focused window
    // (ReplayKeyboard), false keeps it and the rest of the press (AsyncKeyboard).
    void allowEvents(bool replay, xcb_timestamp_t time);

private:
    struct Subscriber;
    X11Connection(MainLoop& loop, WatchReadable watchReadable);

    void readModifierMapping();
    std::vector<std::uint16_t> lockVariants() const;
    void drain();
    void postDrain();
    void lose();

    MainLoop& loop_;
    WatchReadable watchReadable_;
    xcb_connection_t* connection_ = nullptr;
    xcb_key_symbols_t* symbols_ = nullptr;
    xcb_window_t root_ = 0;
    std::uint16_t numLock_ = 0;
    std::uint16_t scrollLock_ = 0;
    std::uint8_t xkbEvent_ = 0;  // XKB's first event code, 0 without XKB
    std::uint64_t generation_ = 0;
    CancelHandle watch_;
    bool drainPosted_ = false;
    std::vector<std::shared_ptr<Subscriber>> subscribers_;
};

}  // namespace orvel

#include "input/x11/X11Connection.hpp"

// The XKB header names a field `explicit`.
#define explicit explicit_  // NOLINT
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <memory>
#include <utility>

namespace orvel {

namespace {

constexpr std::uint32_t kNumLockKeysym = 0xff7f;
constexpr std::uint32_t kScrollLockKeysym = 0xff14;

template <typename T>
struct FreeDeleter {
    void operator()(T* pointer) const { std::free(pointer); }  // NOLINT: xcb allocates with malloc
};
template <typename T>
using Owned = std::unique_ptr<T, FreeDeleter<T>>;

}  // namespace

struct X11Connection::Subscriber {
    std::shared_ptr<CancelToken> token;
    OnEvent onEvent;
    std::function<void()> onLost;
    std::function<void()> onOpened;
};

std::shared_ptr<X11Connection> X11Connection::create(MainLoop& loop, WatchReadable watchReadable) {
    return std::shared_ptr<X11Connection>(new X11Connection(loop, std::move(watchReadable)));
}

X11Connection::X11Connection(MainLoop& loop, WatchReadable watchReadable)
    : loop_(loop), watchReadable_(std::move(watchReadable)) {}

X11Connection::~X11Connection() {
    close();
}

std::optional<int> X11Connection::open() {
    if (isOpen()) return std::nullopt;
    if (connection_ != nullptr) lose();
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (int error = xcb_connection_has_error(connection); error != 0) {
        xcb_disconnect(connection);
        return error;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return XCB_CONN_CLOSED_INVALID_SCREEN;
    }
    connection_ = connection;
    root_ = screens.data->root;
    symbols_ = xcb_key_symbols_alloc(connection_);
    ++generation_;

    // Without it a held key reads as press, release, press...; an old server without XKB
    // still works, with the fake releases.
    Owned<xcb_xkb_use_extension_reply_t> xkb(xcb_xkb_use_extension_reply(
        connection_,
        xcb_xkb_use_extension(connection_, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    if (xkb && xkb->supported != 0) {
        constexpr std::uint32_t kDetectable = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
        Owned<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
            connection_,
            xcb_xkb_per_client_flags(connection_, XCB_XKB_ID_USE_CORE_KBD, kDetectable, kDetectable,
                                     0, 0, 0),
            nullptr));
        // An XKB client no longer gets the core MappingNotify: it asks for XKB's own.
        constexpr std::uint16_t kEvents =
            XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        constexpr std::uint16_t kParts = XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
        xcb_xkb_select_events(connection_, XCB_XKB_ID_USE_CORE_KBD, kEvents, 0, kEvents, kParts,
                              kParts, nullptr);
        const xcb_query_extension_reply_t* extension =
            xcb_get_extension_data(connection_, &xcb_xkb_id);
        xkbEvent_ = extension != nullptr ? extension->first_event : 0;
    }
    readModifierMapping();

    if (watchReadable_) {
        watch_ = watchReadable_(xcb_get_file_descriptor(connection_),
                                [weak = weak_from_this(), generation = generation_] {
                                    auto self = weak.lock();
                                    if (self && self->generation_ == generation) self->drain();
                                });
    }
    postDrain();
    const auto subscribers = subscribers_;
    for (const auto& each : subscribers) {
        if (!each->token->cancelled && each->onOpened) each->onOpened();
    }
    return std::nullopt;
}

bool X11Connection::isOpen() const {
    return connection_ != nullptr && xcb_connection_has_error(connection_) == 0;
}

int X11Connection::descriptor() const {
    return connection_ != nullptr ? xcb_get_file_descriptor(connection_) : -1;
}

void X11Connection::close() {
    watch_.cancel();
    if (isOpen()) {
        // The server may notice the closed socket only after other clients' requests; a round
        // trip makes the ungrabs sent before this hold for them already.
        Owned<xcb_get_input_focus_reply_t> synced(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }
    if (symbols_ != nullptr) xcb_key_symbols_free(symbols_);
    symbols_ = nullptr;
    if (connection_ != nullptr) xcb_disconnect(connection_);
    connection_ = nullptr;
    numLock_ = scrollLock_ = 0;
    xkbEvent_ = 0;
}

CancelHandle X11Connection::subscribe(OnEvent onEvent, std::function<void()> onLost,
                                      std::function<void()> onOpened) {
    auto token = std::make_shared<CancelToken>();
    std::erase_if(subscribers_, [](const auto& each) { return each->token->cancelled.load(); });
    subscribers_.push_back(std::make_shared<Subscriber>(
        Subscriber{token, std::move(onEvent), std::move(onLost), std::move(onOpened)}));
    return CancelHandle(token);
}

std::vector<xcb_keycode_t> X11Connection::keycodesFor(std::uint32_t keysym) const {
    std::vector<xcb_keycode_t> keycodes;
    if (!isOpen()) return keycodes;
    Owned<xcb_keycode_t> found(xcb_key_symbols_get_keycode(symbols_, keysym));
    for (const xcb_keycode_t* each = found.get(); each != nullptr && *each != XCB_NO_SYMBOL;
         ++each) {
        keycodes.push_back(*each);
    }
    return keycodes;
}

std::uint32_t X11Connection::keysymOf(xcb_keycode_t keycode) const {
    if (!isOpen()) return 0;
    return xcb_key_symbols_get_keysym(symbols_, keycode, 0);
}

std::uint16_t X11Connection::lockMask() const {
    return static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock_ | scrollLock_);
}

std::vector<std::uint16_t> X11Connection::lockVariants() const {
    std::vector<std::uint16_t> variants{0};
    for (unsigned bit = 1; bit <= 0x80; bit <<= 1) {
        if ((lockMask() & bit) == 0) continue;
        const auto count = variants.size();
        for (std::size_t i = 0; i < count; ++i) {
            variants.push_back(static_cast<std::uint16_t>(variants[i] | bit));
        }
    }
    return variants;
}

std::optional<X11Connection::GrabError> X11Connection::grabKeys(
    const std::vector<xcb_keycode_t>& keycodes, std::uint16_t modifiers, bool syncKeyboard) {
    if (!isOpen()) return GrabError{};
    const auto keyboardMode = syncKeyboard ? XCB_GRAB_MODE_SYNC : XCB_GRAB_MODE_ASYNC;
    struct Sent {
        xcb_keycode_t keycode;
        std::uint16_t modifiers;
        xcb_void_cookie_t cookie;
    };
    std::vector<Sent> sent;
    for (xcb_keycode_t keycode : keycodes) {
        for (std::uint16_t variant : lockVariants()) {
            const auto mask = static_cast<std::uint16_t>(modifiers | variant);
            sent.push_back({keycode, mask,
                            xcb_grab_key_checked(connection_, 0, root_, mask, keycode,
                                                 XCB_GRAB_MODE_ASYNC, keyboardMode)});
        }
    }
    std::optional<GrabError> refused;
    std::vector<const Sent*> taken;
    for (const Sent& each : sent) {
        Owned<xcb_generic_error_t> error(xcb_request_check(connection_, each.cookie));
        if (!error) {
            taken.push_back(&each);
        } else if (!refused || error->error_code == kBadAccess) {
            // BadAccess wins: the one refusal that a user can do something about.
            refused = GrabError{error->error_code};
        }
    }
    if (refused) {
        for (const Sent* each : taken) {
            xcb_ungrab_key(connection_, each->keycode, root_, each->modifiers);
        }
        xcb_flush(connection_);
    }
    postDrain();
    return refused;
}

void X11Connection::ungrabKeys(const std::vector<xcb_keycode_t>& keycodes,
                               std::uint16_t modifiers) {
    if (!isOpen()) return;
    for (xcb_keycode_t keycode : keycodes) {
        for (std::uint16_t variant : lockVariants()) {
            xcb_ungrab_key(connection_, keycode, root_,
                           static_cast<std::uint16_t>(modifiers | variant));
        }
    }
    xcb_flush(connection_);
}

void X11Connection::ungrabKeysEntirely(const std::vector<xcb_keycode_t>& keycodes) {
    if (!isOpen()) return;
    for (xcb_keycode_t keycode : keycodes) {
        xcb_ungrab_key(connection_, keycode, root_, XCB_MOD_MASK_ANY);
    }
    xcb_flush(connection_);
}

bool X11Connection::remapsKeys(const xcb_generic_event_t& event) const {
    const auto type = event.response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto request = reinterpret_cast<const xcb_mapping_notify_event_t&>(event).request;
        return request == XCB_MAPPING_MODIFIER || request == XCB_MAPPING_KEYBOARD;
    }
    if (xkbEvent_ == 0 || type != xkbEvent_) return false;
    // Every XKB event carries its kind in the second byte.
    const auto kind = reinterpret_cast<const xcb_xkb_map_notify_event_t&>(event).xkbType;
    return kind == XCB_XKB_NEW_KEYBOARD_NOTIFY || kind == XCB_XKB_MAP_NOTIFY;
}

void X11Connection::allowEvents(bool replay, xcb_timestamp_t time) {
    if (!isOpen()) return;
    xcb_allow_events(connection_, replay ? XCB_ALLOW_REPLAY_KEYBOARD : XCB_ALLOW_ASYNC_KEYBOARD,
                     time);
    xcb_flush(connection_);
}

void X11Connection::readModifierMapping() {
    numLock_ = scrollLock_ = 0;
    Owned<xcb_get_modifier_mapping_reply_t> mapping(xcb_get_modifier_mapping_reply(
        connection_, xcb_get_modifier_mapping(connection_), nullptr));
    if (!mapping) return;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
            if (keycode == 0) continue;
            const std::uint32_t keysym = xcb_key_symbols_get_keysym(symbols_, keycode, 0);
            const auto bit = static_cast<std::uint16_t>(1U << modifier);
            if (keysym == kNumLockKeysym) numLock_ |= bit;
            if (keysym == kScrollLockKeysym) scrollLock_ |= bit;
        }
    }
}

void X11Connection::postDrain() {
    // Replies read while waiting may have queued events behind them, which no readable
    // descriptor will announce.
    if (drainPosted_) return;
    drainPosted_ = true;
    loop_.post([weak = weak_from_this(), generation = generation_] {
        auto self = weak.lock();
        if (!self) return;
        self->drainPosted_ = false;
        if (self->generation_ == generation) self->drain();
    });
}

void X11Connection::drain() {
    auto keepAlive = shared_from_this();
    const auto generation = generation_;
    while (connection_ != nullptr && generation_ == generation) {
        Owned<xcb_generic_event_t> event(xcb_poll_for_event(connection_));
        if (!event) break;
        if (remapsKeys(*event)) {
            xcb_key_symbols_free(symbols_);
            symbols_ = xcb_key_symbols_alloc(connection_);
            readModifierMapping();
        }
        // A copy: a subscriber may subscribe or end its subscription while being told.
        const auto subscribers = subscribers_;
        for (const auto& each : subscribers) {
            if (generation_ != generation) break;
            if (!each->token->cancelled && each->onEvent) each->onEvent(*event);
        }
    }
    if (connection_ != nullptr && generation_ == generation && !isOpen()) lose();
}

void X11Connection::lose() {
    close();
    ++generation_;
    const auto subscribers = subscribers_;
    for (const auto& each : subscribers) {
        if (!each->token->cancelled && each->onLost) each->onLost();
    }
}

}  // namespace orvel

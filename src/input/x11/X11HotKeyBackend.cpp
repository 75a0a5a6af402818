#include "input/x11/X11HotKeyBackend.hpp"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "input/KeyCodes.hpp"

namespace orvel {

namespace {

constexpr std::uint16_t kModifierBits = 0xff;

bool onlyWayland() {
    // NOLINTBEGIN(concurrency-mt-unsafe): read on the loop thread; nothing sets them
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    // NOLINTEND(concurrency-mt-unsafe)
    return (display == nullptr || *display == '\0') && wayland != nullptr && *wayland != '\0';
}

}  // namespace

struct X11HotKeyBackend::State {
    struct Grab {
        std::uint32_t identifier;
        std::uint32_t keysym;
        std::vector<xcb_keycode_t> keycodes;
        std::uint16_t modifiers;
        bool down = false;
    };

    std::shared_ptr<X11Connection> connection;
    Events events;
    CancelHandle subscription;
    bool started = false;
    std::uint64_t generation = 0;  // the connection's, when the grabs were made
    Token nextToken = 0;
    std::map<Token, Grab> grabs;  // kept while the server is away, made again on its return
    CancelHandle reconnect;

    // The keys may have moved, the locks changed: each grab is made afresh, and one that cannot
    // be any more is dropped (its token then ungrabs nothing).
    void regrab() {
        for (const auto& [token, grab] : grabs) connection->ungrabKeysEntirely(grab.keycodes);
        for (auto each = grabs.begin(); each != grabs.end();) {
            auto& grab = each->second;
            grab.keycodes = connection->keycodesFor(grab.keysym);
            grab.down = false;
            if (grab.keycodes.empty() ||
                connection->grabKeys(grab.keycodes, grab.modifiers, false)) {
                each = grabs.erase(each);
            } else {
                ++each;
            }
        }
    }

    void handle(const xcb_generic_event_t& event) {
        if (connection->remapsKeys(event)) {
            regrab();
            return;
        }
        const auto* keyEvent = X11Connection::asKeyEvent(event);
        if (keyEvent == nullptr) return;
        const auto& key = *keyEvent;
        const bool pressed = (event.response_type & 0x7f) == XCB_KEY_PRESS;
        // The state also holds the mouse buttons pressed (0x100 up): only the modifiers count.
        const auto modifiers =
            static_cast<std::uint16_t>(key.state & kModifierBits & ~connection->lockMask());
        for (auto& [token, grab] : grabs) {
            if (std::ranges::find(grab.keycodes, key.detail) == grab.keycodes.end()) continue;
            // The release comes with whatever is still held, maybe without the modifiers:
            // it belongs to the grab that took the press.
            if (pressed ? modifiers != grab.modifiers || grab.down : !grab.down) continue;
            grab.down = pressed;
            const auto identifier = grab.identifier;
            if (events) events(identifier, pressed);
            return;  // `grabs` may have changed inside the call
        }
    }

    // With the media keys gone nothing else reopens the connection: this tries every few
    // seconds until it connects or stop().
    void reconnectLater(const std::weak_ptr<State>& weak) {
        reconnect = connection->loop().postAfter(kReconnectSeconds, [weak] {
            auto self = weak.lock();
            if (self && self->connection->open()) self->reconnectLater(weak);
        });
    }

    void reopened() {
        reconnect.cancel();
        generation = connection->generation();
        regrab();
    }

    void releaseAll() {
        if (connection->generation() == generation) {
            for (const auto& [token, grab] : grabs) {
                connection->ungrabKeys(grab.keycodes, grab.modifiers);
            }
        }
        grabs.clear();
    }
};

X11HotKeyBackend::X11HotKeyBackend(std::shared_ptr<X11Connection> connection)
    : state_(std::make_shared<State>()) {
    state_->connection = std::move(connection);
}

X11HotKeyBackend::~X11HotKeyBackend() {
    stop();
}

std::optional<HotKeyBackend::StartFailure> X11HotKeyBackend::start(Events events) {
    auto& state = *state_;
    if (state.started) {
        // A reconnection grabs again (reopened()).
        if (auto code = state.connection->open()) return StartFailure{.code = *code};
        state.events = std::move(events);
        return std::nullopt;
    }
    if (onlyWayland()) return StartFailure{.unsupported = true};
    if (auto code = state.connection->open()) return StartFailure{.code = *code};
    state.events = std::move(events);
    state.started = true;
    state.generation = state.connection->generation();
    const std::weak_ptr<State> weak = state_;
    state.subscription = state.connection->subscribe(
        [weak](const xcb_generic_event_t& event) {
            if (auto self = weak.lock()) self->handle(event);
        },
        [weak] {
            if (auto self = weak.lock()) self->reconnectLater(weak);
        },
        [weak] {
            if (auto self = weak.lock()) self->reopened();
        });
    return std::nullopt;
}

std::variant<HotKeyBackend::Token, HotKeyBackend::Refusal> X11HotKeyBackend::grab(
    const KeyboardShortcut& shortcut, std::uint32_t identifier) {
    auto& state = *state_;
    if (!state.started || !state.connection->isOpen() ||
        state.connection->generation() != state.generation) {
        return Refusal{.code = kNotStarted};
    }
    const auto keysym = KeyCodes::keysymForKeyCode(shortcut.code);
    auto keycodes = keysym ? state.connection->keycodesFor(*keysym) : std::vector<xcb_keycode_t>{};
    if (keycodes.empty()) return Refusal{.code = kNoSuchKey};
    const auto modifiers = KeyCodes::x11StateFromModifiers(shortcut.modifiers);
    if (auto error = state.connection->grabKeys(keycodes, modifiers, false)) {
        if (error->code == X11Connection::kBadAccess) return Refusal{.inUse = true};
        return Refusal{.code = error->code == 0 ? kNotStarted : error->code};
    }
    const Token token = ++state.nextToken;
    state.grabs.emplace(token, State::Grab{identifier, *keysym, std::move(keycodes), modifiers});
    return token;
}

void X11HotKeyBackend::ungrab(Token token) {
    auto& state = *state_;
    auto found = state.grabs.find(token);
    if (found == state.grabs.end()) return;
    const auto grab = std::move(found->second);
    state.grabs.erase(found);
    if (state.connection->generation() != state.generation) return;
    // Another token may hold the same combination (the same shortcut under a new identifier).
    const bool shared = std::ranges::any_of(state.grabs, [&](const auto& each) {
        return each.second.keycodes == grab.keycodes && each.second.modifiers == grab.modifiers;
    });
    if (!shared) state.connection->ungrabKeys(grab.keycodes, grab.modifiers);
}

void X11HotKeyBackend::stop() {
    auto& state = *state_;
    state.releaseAll();
    state.subscription.cancel();
    state.reconnect.cancel();
    state.events = nullptr;
    state.started = false;
}

}  // namespace orvel

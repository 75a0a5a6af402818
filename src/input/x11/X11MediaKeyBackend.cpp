#include "input/x11/X11MediaKeyBackend.hpp"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "input/KeyCodes.hpp"

namespace orvel {

namespace {

constexpr std::uint16_t kOtherModifiers =
    KeyCodes::kX11Shift | KeyCodes::kX11Control | KeyCodes::kX11Mod1;

}  // namespace

struct X11MediaKeyBackend::State {
    std::shared_ptr<X11Connection> connection;
    Presses presses;
    CancelHandle subscription;
    std::uint64_t generation = 0;  // the connection's, when `held` was grabbed
    std::map<std::uint16_t, std::vector<xcb_keycode_t>> held;
    // Keys whose press we took: their repeats and release come to us, not frozen.
    std::set<xcb_keycode_t> owned;
    xcb_keycode_t activator = 0;  // the key whose press set off the active grab, 0 when none

    // The connection is gone, and with it any grab: an active one too.
    void forget() {
        held.clear();
        owned.clear();
        activator = 0;
    }

    std::optional<std::uint16_t> codeOf(xcb_keycode_t keycode) const {
        for (const auto& [code, keycodes] : held) {
            if (std::ranges::find(keycodes, keycode) != keycodes.end()) return code;
        }
        return std::nullopt;
    }

    void releaseAll() {
        if (connection->generation() == generation) {
            for (const auto& [code, keycodes] : held) {
                connection->ungrabKeys(keycodes, KeyCodes::kX11Mod4);
            }
        }
        // An active grab outlives the ungrab: `owned` and `activator` stay until its end.
        held.clear();
    }

    // The keys may have moved, the locks changed: every key is grabbed afresh, all or none.
    void regrab() {
        auto codes = held;
        for (const auto& [code, keycodes] : held) connection->ungrabKeysEntirely(keycodes);
        held.clear();
        for (const auto& [code, old] : codes) {
            if (!hold(code)) return;
        }
    }

    // False when the server refused: then nothing is held.
    bool hold(std::uint16_t code) {
        const auto keysym = KeyCodes::keysymForMediaCode(code);
        // A key this keyboard does not have cannot be pressed: nothing to hold.
        auto keycodes = keysym ? connection->keycodesFor(*keysym) : std::vector<xcb_keycode_t>{};
        if (keycodes.empty()) return true;
        if (connection->grabKeys(keycodes, KeyCodes::kX11Mod4, true)) {
            releaseAll();
            return false;
        }
        held.emplace(code, std::move(keycodes));
        return true;
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
        const bool super = (key.state & KeyCodes::kX11Mod4) != 0;
        const bool other = (key.state & kOtherModifiers) != 0;
        // Built before anything is told: a listener may change `held` and `owned`.
        std::vector<MediaKeyPress> reports;
        if (const auto code = codeOf(key.detail)) {
            reports.push_back(
                {.code = *code,
                 .phase = pressed ? MediaKeyPress::Phase::down : MediaKeyPress::Phase::up,
                 .isRepeat = pressed && owned.contains(key.detail)});
        }
        // Only a press with no grab of ours active set one off and froze the keyboard.
        const bool frozen = pressed && activator == 0;
        if (!pressed) {
            owned.erase(key.detail);
            // The grab ends with the key that set it off; the releases of the keys pressed
            // meanwhile go to the focused window, so they are let go of here.
            if (key.detail == activator) {
                for (auto each : owned) {
                    if (const auto code = codeOf(each)) {
                        reports.push_back({.code = *code, .phase = MediaKeyPress::Phase::up});
                    }
                }
                owned.clear();
                activator = 0;
            }
        }
        auto connectionAlive = connection;
        bool taken = false;
        for (const auto& press : reports) taken = presses && presses(press, super, other);
        if (!pressed) return;
        if (taken) owned.insert(key.detail);
        if (taken && frozen) activator = key.detail;
        // Answered even when nothing seems frozen: a needless answer changes nothing, a
        // missing one would leave the keyboard frozen.
        connectionAlive->allowEvents(!taken, key.time);
    }
};

X11MediaKeyBackend::X11MediaKeyBackend(std::shared_ptr<X11Connection> connection)
    : state_(std::make_shared<State>()) {
    state_->connection = std::move(connection);
}

X11MediaKeyBackend::~X11MediaKeyBackend() {
    state_->releaseAll();
}

MediaKeyBackend::Readiness X11MediaKeyBackend::readiness() {
    return state_->connection->open() ? Readiness::unavailable : Readiness::ready;
}

bool X11MediaKeyBackend::capture(const std::set<std::uint16_t>& codes, Presses presses) {
    auto& state = *state_;
    auto& connection = *state.connection;
    state.presses = std::move(presses);
    if (!connection.isOpen() || connection.generation() != state.generation) state.forget();
    if (codes.empty()) {
        state.releaseAll();
        return true;
    }
    if (connection.open()) return false;
    if (connection.generation() != state.generation || !state.subscription.pending()) {
        state.generation = connection.generation();
        state.subscription = connection.subscribe(
            [weak = std::weak_ptr<State>(state_)](const xcb_generic_event_t& event) {
                if (auto self = weak.lock()) self->handle(event);
            },
            [weak = std::weak_ptr<State>(state_)] {
                if (auto self = weak.lock()) self->forget();
            });
    }
    for (auto each = state.held.begin(); each != state.held.end();) {
        if (codes.contains(each->first)) {
            ++each;
            continue;
        }
        connection.ungrabKeys(each->second, KeyCodes::kX11Mod4);
        each = state.held.erase(each);
    }
    for (std::uint16_t code : codes) {
        if (!state.held.contains(code) && !state.hold(code)) return false;
    }
    return true;
}

bool X11MediaKeyBackend::capturing() const {
    return !state_->held.empty() && state_->connection->isOpen() &&
           state_->connection->generation() == state_->generation;
}

}  // namespace orvel

#pragma once
// ShortcutRegistration: which global shortcut is registered with the desktop, and under which
// token. Changing the shortcut never leaves the user without one: the new one is registered before
// the old one is released, and a refused new one keeps the old. A plain value owned by the hot key
// on the main thread; the operations passed in are called synchronously, at most once each, and
// not kept. It releases nothing by itself: the owner calls clear() when it stops.
//
//   ShortcutRegistration<Grab> registration;
//   auto error = registration.replace(shortcut, grabKey, ungrabKey);  // nothing on success

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "core/KeyboardShortcut.hpp"

namespace orvel {

template <typename Token>
class ShortcutRegistration {
public:
    // `registerShortcut(shortcut)` returns std::variant<Token, Error>; `unregister(Token)`
    // releases. Returns the Error that registering gave, or nothing when `shortcut` is now
    // registered.
    template <typename Register, typename Unregister>
    auto replace(const KeyboardShortcut& shortcut, Register&& registerShortcut,
                 Unregister&& unregister) {
        using Outcome = std::invoke_result_t<Register, const KeyboardShortcut&>;
        using Error = std::variant_alternative_t<1, Outcome>;
        static_assert(std::is_same_v<std::variant_alternative_t<0, Outcome>, Token>,
                      "register must yield std::variant<Token, Error>");

        if (held_ && held_->shortcut == shortcut) return std::optional<Error>{};
        Outcome outcome = std::forward<Register>(registerShortcut)(shortcut);
        if (auto* error = std::get_if<1>(&outcome)) return std::optional<Error>{std::move(*error)};

        // Record the new one first so that the old token is never held twice.
        std::optional<Held> old =
            std::exchange(held_, Held{shortcut, std::get<0>(std::move(outcome))});
        if (old) std::forward<Unregister>(unregister)(std::move(old->token));
        return std::optional<Error>{};
    }

    template <typename Unregister>
    void clear(Unregister&& unregister) {
        std::optional<Held> old = std::exchange(held_, std::nullopt);
        if (old) std::forward<Unregister>(unregister)(std::move(old->token));
    }

    std::optional<KeyboardShortcut> shortcut() const {
        return held_ ? std::optional{held_->shortcut} : std::nullopt;
    }
    // Null when nothing is registered.
    const Token* token() const { return held_ ? &held_->token : nullptr; }

private:
    // Shortcut and token are present together or not at all.
    struct Held {
        KeyboardShortcut shortcut;
        Token token;
    };
    std::optional<Held> held_;
};

}  // namespace orvel

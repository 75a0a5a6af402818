#pragma once
// CompanionResult<T>: what an operation on a Companion connection completes with: its value, or
// a CompanionError. The error always has a sentence the user can read; when the TV's pairing
// answer said why it stopped, it also has that PairingFailure, for a backend that words each
// kind its own way. Plain values; any thread.
//
//   connection.finishPairing("1234", [](CompanionResult<std::string> credential) {
//       if (!credential && credential.error().pairing) ...;   // e.g. wrongCode
//   });

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "bridge/companion/PairingFailure.hpp"

namespace orvel {

struct CompanionError {
    explicit CompanionError(std::string text, std::optional<PairingFailure> failure = std::nullopt)
        : sentence(std::move(text)), pairing(failure) {}

    std::string sentence;
    std::optional<PairingFailure> pairing;
    // The TV answered the request with a refusal (rather than not answering, or the end).
    bool refused = false;
};

// CompanionResult<> is success without a value.
template <typename T = std::monostate>
class [[nodiscard]] CompanionResult {
public:
    CompanionResult(T value)  // NOLINT: implicit by design
        : state_(std::in_place_index<0>, std::move(value)) {}
    CompanionResult(CompanionError error)  // NOLINT: implicit by design
        : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(state_); }
    T& value() { return std::get<0>(state_); }
    // Only for a failure.
    const CompanionError& error() const { return std::get<1>(state_); }

private:
    std::variant<T, CompanionError> state_;
};

}  // namespace orvel

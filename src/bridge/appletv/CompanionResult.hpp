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
#include "platform/Result.hpp"

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
class [[nodiscard]] CompanionResult : public Outcome<T, CompanionError> {
    using Base = Outcome<T, CompanionError>;

public:
    CompanionResult(T value) : Base(std::move(value)) {}  // NOLINT: implicit by design
    CompanionResult(CompanionError error)                 // NOLINT: implicit by design
        : Base(typename Base::Error{}, std::move(error)) {}
};

}  // namespace orvel

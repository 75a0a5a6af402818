#pragma once
// PairingFailure: why a pair-setup or pair-verify exchange with an Apple TV stopped, as a kind the
// backend turns into a sentence of its own, with the wait the TV asked for when it said one.
// PairingOutcome<T>: the next step's value, or such a failure. Plain values; any thread.
//
//   auto m3 = client.m3(m2);
//   if (!m3) return explain(m3.error());   // e.g. wrongCode, retryDelay 16

#include <cstdint>
#include <optional>
#include <utility>

#include "bridge/companion/Tlv8.hpp"
#include "platform/Result.hpp"

namespace orvel {

struct PairingFailure {
    enum class Kind {
        wrongCode,      // error 0x02 while pairing: the PIN did not match
        backoff,        // error 0x03, or a retry delay without an error code
        tooManyTries,   // 0x05
        noRoom,         // 0x04: the TV holds as many pairings as it can
        unavailable,    // 0x06
        busy,           // 0x07: another pairing is in progress
        refused,        // 0x01 or a code we do not know
        badSignature,   // the TV's proof or signature did not check out
        otherTV,        // pair-verify reached a TV with another identifier than the stored one
        notRecognised,  // error 0x02 while verifying: the TV no longer knows our pairing
        malformed,      // missing items, wrong state, undecryptable data
    };
    Kind kind = Kind::malformed;
    // Seconds, from RetryDelay (tag 0x08), whatever the error code; newer TVs send it with 0x02.
    std::optional<std::uint32_t> retryDelay;

    bool operator==(const PairingFailure&) const = default;

    // The failure an answer from the TV carries (tags 0x07 and 0x08), if any. While verifying,
    // `authentication` is the kind error 0x02 stands for.
    static std::optional<PairingFailure> fromItems(const Tlv8::Items& items,
                                                   Kind authentication = Kind::wrongCode);
};

template <typename T>
class [[nodiscard]] PairingOutcome : public Outcome<T, PairingFailure> {
    using Base = Outcome<T, PairingFailure>;

public:
    PairingOutcome(T value) : Base(std::move(value)) {}  // NOLINT: implicit by design
    PairingOutcome(PairingFailure failure)               // NOLINT: implicit by design
        : Base(typename Base::Error{}, failure) {}
    PairingOutcome(PairingFailure::Kind kind)  // NOLINT: implicit by design
        : PairingOutcome(PairingFailure{kind, std::nullopt}) {}
};

}  // namespace orvel

#pragma once
// PairingMessages: the steps pair-setup and pair-verify share, on both sides: reading an answer's
// items against the state it must carry, the derived keys and the "PS-Msg05"-style nonces, and the
// encrypted sub-items of EncryptedData. Pure; any thread.

#include <cstdint>
#include <optional>
#include <string_view>

#include "bridge/companion/PairingFailure.hpp"
#include "bridge/companion/Tlv8.hpp"
#include "bridge/crypto/Bytes.hpp"

namespace orvel::PairingMessages {

// `bytes` decoded, refused with the error it carries, else checked for State `state`.
PairingOutcome<Tlv8::Items> read(crypto::ByteView bytes, std::uint8_t state,
                                 PairingFailure::Kind authentication);

// HKDF-SHA512 of `secret` with a text salt and info, 32 bytes.
crypto::Bytes derive(crypto::ByteView secret, std::string_view salt, std::string_view info);

// 4 zero bytes, then the 8 ASCII bytes of `label` ("PS-Msg05"): 12 bytes.
crypto::Bytes nonce(std::string_view label);

crypto::Bytes seal(const crypto::Bytes& key, std::string_view label, const Tlv8::Items& items);
// The items inside EncryptedData of `items`; malformed when missing or not sealed with `key`.
PairingOutcome<Tlv8::Items> open(const crypto::Bytes& key, std::string_view label,
                                 const Tlv8::Items& items);

// `pieces` one after the other: the bytes a signature covers.
crypto::Bytes join(std::initializer_list<crypto::ByteView> pieces);

// A value of `type` exactly `size` bytes long (any size when 0), or nothing.
const crypto::Bytes* findSized(const Tlv8::Items& items, std::uint8_t type, std::size_t size = 0);

// The TV side's: a client's message decoded and checked for State `state`, or nothing.
std::optional<Tlv8::Items> readRequest(crypto::ByteView bytes, std::uint8_t state);
inline constexpr std::uint8_t kErrorUnknown = 0x01;
inline constexpr std::uint8_t kErrorAuthentication = 0x02;
// An answer at `state` with Error `code`, and RetryDelay `delay` seconds when given.
crypto::Bytes refusal(std::uint8_t state, std::uint8_t code,
                      std::optional<std::uint32_t> delay = std::nullopt);

}  // namespace orvel::PairingMessages

#pragma once
// Ed25519: the long-term identities of pairing (RFC 8032). Our key is stored as its 32-byte
// seed; the TV's as its 32-byte public key. Pure functions, any thread.
//
//   Ed25519Keys ours = ed25519Generate();               // once, when pairing
//   Bytes signature = ed25519Sign(ours.seed, signedBytes);
//   bool genuine = ed25519Verify(tvPublicKey, theirBytes, theirSignature);

#include <optional>

#include "bridge/crypto/Bytes.hpp"

namespace orvel::crypto {

inline constexpr std::size_t kEd25519KeySize = 32;
inline constexpr std::size_t kEd25519SignatureSize = 64;

struct Ed25519Keys {
    Bytes seed;       // 32: the secret key as RFC 8032 stores it
    Bytes publicKey;  // 32
};

// Empty keys only when OpenSSL cannot allocate.
Ed25519Keys ed25519Generate();
// Nothing for a seed that is not 32 bytes.
std::optional<Ed25519Keys> ed25519FromSeed(ByteView seed);
// 64 bytes; empty for a seed that is not 32 bytes.
Bytes ed25519Sign(ByteView seed, ByteView message);
// False for a wrong signature and for a key or signature of the wrong size.
bool ed25519Verify(ByteView publicKey, ByteView message, ByteView signature);

}  // namespace orvel::crypto

#pragma once
// ChaCha20Poly1305: the AEAD (RFC 8439) that protects pairing's encrypted TLVs and every
// session frame. Pure functions, any thread; the caller owns nonce uniqueness (a counter per
// direction in the session, a fixed label per pairing message).
//
//   Bytes sealed = seal(key, nonce, header, payload);          // ciphertext || 16-byte tag
//   if (auto payload = open(key, nonce, header, sealed)) ...   // nothing: refused

#include <optional>

#include "bridge/crypto/Bytes.hpp"

namespace orvel::crypto {

inline constexpr std::size_t kChaChaKeySize = 32;
inline constexpr std::size_t kChaChaNonceSize = 12;
inline constexpr std::size_t kPolyTagSize = 16;

// Empty when the key or nonce has the wrong size.
Bytes seal(ByteView key, ByteView nonce, ByteView aad, ByteView plaintext);
// Nothing when the tag does not match (wrong key, nonce, aad or bytes) or a size is wrong.
std::optional<Bytes> open(ByteView key, ByteView nonce, ByteView aad, ByteView sealed);

}  // namespace orvel::crypto

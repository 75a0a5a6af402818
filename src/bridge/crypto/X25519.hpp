#pragma once
// X25519: the ephemeral key agreement of pair-verify (RFC 7748). A fresh pair per connection;
// the shared secret feeds HKDF for the verify key and both session keys. Pure functions, any
// thread.
//
//   X25519Keys ours = x25519Generate();
//   if (auto shared = x25519Shared(ours.secret, theirPublic)) ...   // nothing: refuse the peer

#include <optional>

#include "bridge/crypto/Bytes.hpp"

namespace orvel::crypto {

inline constexpr std::size_t kX25519KeySize = 32;

struct X25519Keys {
    Bytes secret;     // 32, as drawn (clamping happens inside each use)
    Bytes publicKey;  // 32
};

// Empty keys only when OpenSSL cannot allocate.
X25519Keys x25519Generate();
// Nothing for a secret that is not 32 bytes.
std::optional<X25519Keys> x25519FromSecret(ByteView secret);
// Nothing for a key of the wrong size, or a peer key of small order (all-zero result).
std::optional<Bytes> x25519Shared(ByteView secret, ByteView peerPublic);

}  // namespace orvel::crypto

#pragma once
// Hkdf: HKDF with HMAC-SHA-512 (RFC 5869), how pairing and the session derive every key from
// the SRP key or the X25519 shared secret. Pure function, any thread.
//
//   Bytes key = hkdfSha512(shared, {}, bytesOf("ClientEncrypt-main"), 32);

#include "bridge/crypto/Bytes.hpp"

namespace orvel::crypto {

// An empty salt is RFC 5869's default of 64 zero bytes. Empty when length is 0 or more than
// 255 * 64, or when OpenSSL fails.
Bytes hkdfSha512(ByteView key, ByteView salt, ByteView info, std::size_t length);

}  // namespace orvel::crypto

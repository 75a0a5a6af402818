#pragma once
// Sha512: the digests pairing needs (SHA-512 throughout, SHA-1 for the SRP group of the
// published test vectors). Pure functions, any thread.

#include "bridge/crypto/Bytes.hpp"

namespace orvel::crypto {

Bytes sha512(ByteView data);  // 64 bytes
Bytes sha1(ByteView data);    // 20 bytes

}  // namespace orvel::crypto

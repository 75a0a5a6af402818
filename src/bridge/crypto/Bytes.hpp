#pragma once
// Bytes: the one shape every crypto function here takes and gives. Plain values, any thread.
//
//   Bytes salt = randomBytes(16);
//   Bytes info = bytesOf("Pair-Verify-Encrypt-Info");

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::crypto {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// The text's bytes, without a terminating zero.
Bytes bytesOf(std::string_view text);

// Two lower-case hex digits per byte.
std::string hexText(ByteView bytes);

// From OpenSSL's generator. The process aborts if it ever fails: nothing we would do next is
// safe without good randomness.
Bytes randomBytes(std::size_t count);

}  // namespace orvel::crypto

#include "bridge/crypto/Bytes.hpp"

#include <openssl/rand.h>

#include <climits>
#include <cstdlib>

namespace orvel::crypto {

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

std::string hexText(ByteView bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

Bytes randomBytes(std::size_t count) {
    Bytes bytes(count);
    if (count == 0) return bytes;
    if (count > INT_MAX || RAND_bytes(bytes.data(), static_cast<int>(count)) != 1) std::abort();
    return bytes;
}

}  // namespace orvel::crypto

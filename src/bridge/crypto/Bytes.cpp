#include "bridge/crypto/Bytes.hpp"

#include <openssl/rand.h>

#include <climits>
#include <cstdlib>

namespace orvel::crypto {

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes randomBytes(std::size_t count) {
    Bytes bytes(count);
    if (count == 0) return bytes;
    if (count > INT_MAX || RAND_bytes(bytes.data(), static_cast<int>(count)) != 1) std::abort();
    return bytes;
}

}  // namespace orvel::crypto

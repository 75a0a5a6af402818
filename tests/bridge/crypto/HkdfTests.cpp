#include "bridge/crypto/Hkdf.hpp"

#include <gtest/gtest.h>

#include "../Hex.hpp"

namespace orvel::crypto {
namespace {

Bytes counting(std::uint8_t from, std::uint8_t to) {
    Bytes bytes;
    for (int value = from; value <= to; ++value) bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}

// RFC 5869 Appendix A's cases 1 and 3 computed with SHA-512 (the set HAP's own tests use); an
// empty salt stands for zeros.
TEST(Hkdf, Sha512KnownAnswers) {
    EXPECT_EQ(
        hexOf(hkdfSha512(Bytes(22, 0x0b), counting(0x00, 0x0c), counting(0xf0, 0xf9), 42)),
        "832390086cda71fb47625bb5ceb168e4c8e26a1a16ed34d9fc7fe92c1481579338da362cb8d9f925d7cb");
    EXPECT_EQ(
        hexOf(hkdfSha512(Bytes(22, 0x0b), {}, {}, 42)),
        "f5fa02b18298a72a8c23898a8703472c6eb179dc204c03425c970e3b164bf90fff22d04836d0e2343bac");
}

TEST(Hkdf, LengthLimits) {
    const Bytes key(32, 0x42);
    const std::pair<std::size_t, std::size_t> rows[] = {
        {0, 0}, {1, 1}, {255 * 64, 255 * 64}, {255 * 64 + 1, 0}};
    for (const auto& [asked, given] : rows) {
        EXPECT_EQ(hkdfSha512(key, {}, bytesOf("info"), asked).size(), given) << asked;
    }
}

}  // namespace
}  // namespace orvel::crypto

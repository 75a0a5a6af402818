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

// The cases of RFC 5869 Appendix A computed with SHA-512 (the set HAP's own tests use).
TEST(Hkdf, Sha512KnownAnswers) {
    struct Row {
        const char* name;
        Bytes ikm, salt, info;
        std::size_t length;
        const char* okm;
    };
    const Row rows[] = {
        {"basic", Bytes(22, 0x0b), counting(0x00, 0x0c), counting(0xf0, 0xf9), 42,
         "832390086cda71fb47625bb5ceb168e4c8e26a1a16ed34d9fc7fe92c1481579338da362cb8d9f925d7cb"},
        {"longer inputs", counting(0x00, 0x4f), counting(0x60, 0xaf), counting(0xb0, 0xff), 82,
         "ce6c97192805b346e6161e821ed165673b84f400a2b514b2fe23d84cd189ddf1b695b48cbd1c8388441137b3"
         "ce28f16aa64ba33ba466b24df6cfcb021ecff235f6a2056ce3af1de44d572097a8505d9e7a93"},
        {"no salt, no info",
         Bytes(22, 0x0b),
         {},
         {},
         42,
         "f5fa02b18298a72a8c23898a8703472c6eb179dc204c03425c970e3b164bf90fff22d04836d0e2343bac"},
        {"short key", Bytes(11, 0x0b), counting(0x00, 0x0c), counting(0xf0, 0xf9), 42,
         "7413e8997e020610fbf6823f2ce14bff01875db1ca55f68cfcf3954dc8aff53559bd5e3028b080f7c068"},
        {"no salt, other key",
         Bytes(22, 0x0c),
         {},
         {},
         42,
         "1407d46013d98bc6decefcfee55f0f90b0c7f63d68eb1a80eaf07e953cfc0a3a5240a155d6e4daa965bb"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(hexOf(hkdfSha512(row.ikm, row.salt, row.info, row.length)), row.okm) << row.name;
    }
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

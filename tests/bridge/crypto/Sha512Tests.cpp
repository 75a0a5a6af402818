#include "bridge/crypto/Sha512.hpp"

#include <gtest/gtest.h>

#include "../Hex.hpp"

namespace orvel::crypto {
namespace {

// FIPS 180 examples.
TEST(Sha512, KnownDigests) {
    struct Row {
        const char* text;
        Bytes (*digest)(ByteView);
        const char* expected;
    };
    const Row rows[] = {
        {"abc", sha512,
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
         "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {"", sha512,
         "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
         "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
        {"abc", sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"", sha1, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(hexOf(row.digest(bytesOf(row.text))), row.expected) << '"' << row.text << '"';
    }
}

}  // namespace
}  // namespace orvel::crypto

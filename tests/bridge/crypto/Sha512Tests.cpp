#include "bridge/crypto/Sha512.hpp"

#include <gtest/gtest.h>

#include "../Hex.hpp"

namespace orvel::crypto {
namespace {

// FIPS 180 examples.
TEST(Sha512, KnownDigests) {
    EXPECT_EQ(hexOf(sha512(bytesOf("abc"))),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    EXPECT_EQ(hexOf(sha1(bytesOf("abc"))), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

}  // namespace
}  // namespace orvel::crypto

#include "bridge/crypto/X25519.hpp"

#include <gtest/gtest.h>

#include "../Hex.hpp"

namespace orvel::crypto {
namespace {

// RFC 7748 6.1: both sides' public keys and the secret they share.
TEST(X25519, KeyAgreement) {
    const auto alice =
        x25519FromSecret(hex("77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a"));
    const auto bob =
        x25519FromSecret(hex("5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb"));
    ASSERT_TRUE(alice && bob);
    EXPECT_EQ(hexOf(alice->publicKey),
              "8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a");
    EXPECT_EQ(hexOf(bob->publicKey),
              "de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f");
    const char* shared = "4a5d9d5ba4ce2de1728e3bf480350f25e07e21c947d19e3376f09b3c1e161742";
    EXPECT_EQ(hexOf(x25519Shared(alice->secret, bob->publicKey).value_or(Bytes{})), shared);
    EXPECT_EQ(hexOf(x25519Shared(bob->secret, alice->publicKey).value_or(Bytes{})), shared);
}

// Fresh pairs agreeing is every pair-verify test's.
TEST(X25519, RefusedKeys) {
    const X25519Keys ours = x25519Generate();
    Bytes order8(32, 0);  // u = 1, a point of small order: every secret gives zero
    order8[0] = 1;
    const std::pair<const char*, Bytes> peers[] = {
        {"zero point", Bytes(32, 0)},
        {"small order", order8},
        {"short", Bytes(31, 9)},
        {"long", Bytes(33, 9)},
    };
    for (const auto& [name, peer] : peers) EXPECT_FALSE(x25519Shared(ours.secret, peer)) << name;
    EXPECT_FALSE(x25519Shared(Bytes(31, 1), x25519Generate().publicKey));
    EXPECT_FALSE(x25519FromSecret(Bytes(33, 1)));
}

}  // namespace
}  // namespace orvel::crypto

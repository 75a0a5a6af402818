#include "bridge/crypto/Ed25519.hpp"

#include <gtest/gtest.h>

#include "../Hex.hpp"

namespace orvel::crypto {
namespace {

// RFC 8032 7.1, test 3.
const char* const kEdSeed = "c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7";
const char* const kEdPublicKey = "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025";
const char* const kEdMessage = "af82";
const char* const kEdSignature =
    "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac"
    "18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a";

TEST(Ed25519, KnownAnswer) {
    const auto keys = ed25519FromSeed(hex(kEdSeed));
    ASSERT_TRUE(keys);
    EXPECT_EQ(hexOf(keys->publicKey), kEdPublicKey);
    EXPECT_EQ(hexOf(ed25519Sign(hex(kEdSeed), hex(kEdMessage))), kEdSignature);
    EXPECT_TRUE(ed25519Verify(hex(kEdPublicKey), hex(kEdMessage), hex(kEdSignature)));
}

TEST(Ed25519, AlteredInputsAreRefused) {
    const Bytes publicKey = hex(kEdPublicKey), message = hex(kEdMessage),
                signature = hex(kEdSignature);
    Bytes altered = message;
    altered[1] ^= 0x01;
    struct Row {
        const char* name;
        Bytes publicKey, message, signature;
    };
    const Row rows[] = {
        {"message", publicKey, altered, signature},
        {"short signature", publicKey, message, Bytes(signature.begin(), signature.end() - 1)},
        {"short key", Bytes(publicKey.begin(), publicKey.end() - 1), message, signature},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(ed25519Verify(row.publicKey, row.message, row.signature)) << row.name;
    }
}

// Generated keys are the pairing tests' (every attempt draws its own).
TEST(Ed25519, KeysOfTheWrongSizeAreRefused) {
    EXPECT_FALSE(ed25519FromSeed(Bytes(31, 1)));
    EXPECT_TRUE(ed25519Sign(Bytes(33, 1), bytesOf("message")).empty());
}

}  // namespace
}  // namespace orvel::crypto

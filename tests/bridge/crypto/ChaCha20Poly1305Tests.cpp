#include "bridge/crypto/ChaCha20Poly1305.hpp"

#include <gtest/gtest.h>

#include "../Hex.hpp"

namespace orvel::crypto {
namespace {

// RFC 8439 2.8.2.
const char* const kAeadKey = "808182838485868788898a8b8c8d8e8f909192939495969798999a9b9c9d9e9f";
const char* const kAeadNonce = "070000004041424344454647";
const char* const kAeadAad = "50515253c0c1c2c3c4c5c6c7";
const char* const kAeadPlaintext =
    "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the future, "
    "sunscreen would be it.";
const char* const kAeadSealed =  // the ciphertext, then the tag
    "d31a8d34648e60db7b86afbc53ef7ec2a4aded51296e08fea9e2b5a736ee62d63dbea45e8ca9671282fafb69da"
    "92728b1a71de0a9e060b2905d6a5b67ecd3b3692ddbd7f2d778b8c9803aee328091b58fab324e4fad675945585"
    "808b4831d7bc3ff4def08e4b7a9de576d26586cec64b6116"
    "1ae10b594f09e26a7e902ecbd0600691";

TEST(ChaCha20Poly1305, KnownAnswer) {
    const Bytes key = hex(kAeadKey), nonce = hex(kAeadNonce), aad = hex(kAeadAad);
    EXPECT_EQ(hexOf(seal(key, nonce, aad, bytesOf(kAeadPlaintext))), kAeadSealed);
    EXPECT_EQ(open(key, nonce, aad, hex(kAeadSealed)), bytesOf(kAeadPlaintext));
}

TEST(ChaCha20Poly1305, TamperingIsRefused) {
    const Bytes key = hex(kAeadKey), nonce = hex(kAeadNonce), aad = hex(kAeadAad),
                sealed = hex(kAeadSealed);
    Bytes badTag = sealed;
    badTag.back() ^= 0x80;
    struct Row {
        const char* name;
        Bytes key, nonce, aad, sealed;
    };
    const Row rows[] = {
        {"tag", key, nonce, aad, badTag},
        {"no aad", key, nonce, {}, sealed},
        {"shorter than a tag", key, nonce, aad, Bytes(15, 0)},
        {"short key", Bytes(31, 0x80), nonce, aad, sealed},
        {"long nonce", key, Bytes(13, 0x07), aad, sealed},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(open(row.key, row.nonce, row.aad, row.sealed), std::nullopt) << row.name;
    }
}

TEST(ChaCha20Poly1305, EmptyPlaintextIsATagAlone) {
    const Bytes key(32, 0x11), nonce(12, 0), aad = hex("08000013");
    const Bytes sealed = seal(key, nonce, aad, {});
    ASSERT_EQ(sealed.size(), kPolyTagSize);
    EXPECT_EQ(open(key, nonce, aad, sealed), Bytes{});
    EXPECT_TRUE(seal(Bytes(16, 0x11), nonce, aad, bytesOf("x")).empty());
}

}  // namespace
}  // namespace orvel::crypto

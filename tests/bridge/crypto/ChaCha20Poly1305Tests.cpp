#include "bridge/crypto/ChaCha20Poly1305.hpp"

#include <gtest/gtest.h>

#include "../Hex.hpp"

namespace orvel::crypto {
namespace {

struct AeadVector {
    const char* name;
    const char* key;
    const char* nonce;
    const char* aad;
    Bytes plaintext;
    const char* ciphertext;
    const char* tag;
};

const AeadVector& sunscreen() {
    // RFC 8439 2.8.2.
    static const AeadVector vector{
        "2.8.2",
        "808182838485868788898a8b8c8d8e8f909192939495969798999a9b9c9d9e9f",
        "070000004041424344454647",
        "50515253c0c1c2c3c4c5c6c7",
        bytesOf("Ladies and Gentlemen of the class of '99: If I could offer you only one tip for "
                "the future, sunscreen would be it."),
        "d31a8d34648e60db7b86afbc53ef7ec2a4aded51296e08fea9e2b5a736ee62d63dbea45e8ca9671282fafb69da"
        "92728b1a71de0a9e060b2905d6a5b67ecd3b3692ddbd7f2d778b8c9803aee328091b58fab324e4fad675945585"
        "808b4831d7bc3ff4def08e4b7a9de576d26586cec64b6116",
        "1ae10b594f09e26a7e902ecbd0600691"};
    return vector;
}

const AeadVector& internetDraft() {
    // RFC 8439 A.5 (its text ends in UTF-8 quotation marks).
    static const AeadVector vector{
        "A.5",
        "1c9240a5eb55d38af333888604f6b5f0473917c1402b80099dca5cbc207075c0",
        "000000000102030405060708",
        "f33388860000000000004e91",
        bytesOf("Internet-Drafts are draft documents valid for a maximum of six months and may be "
                "updated, replaced, or obsoleted by other documents at any time. It is "
                "inappropriate to use Internet-Drafts as reference material or to cite them other "
                "than as /\xe2\x80\x9cwork in progress./\xe2\x80\x9d"),
        "64a0861575861af460f062c79be643bd5e805cfd345cf389f108670ac76c8cb24c6cfc18755d43eea09ee94e"
        "382d26b0bdb7b73c321b0100d4f03b7f355894cf332f830e710b97ce98c8a84abd0b948114ad176e008d33bd"
        "60f982b1ff37c8559797a06ef4f0ef61c186324e2b3506383606907b6a7c02b0f9f6157b53c867e4b9166c76"
        "7b804d46a59b5216cde7a4e99040c5a40433225ee282a1b0a06c523eaf4534d7f83fa1155b0047718cbc546a"
        "0d072b04b3564eea1b422273f548271a0bb2316053fa76991955ebd63159434ecebb4e466dae5a1073a67276"
        "27097a1049e617d91d361094fa68f0ff77987130305beaba2eda04df997b714d6c6f2c29a6ad5cb4022b0270"
        "9b",
        "eead9d67890cbb22392336fea1851f38"};
    return vector;
}

TEST(ChaCha20Poly1305, KnownAnswers) {
    for (const AeadVector* vector : {&sunscreen(), &internetDraft()}) {
        const Bytes key = hex(vector->key), nonce = hex(vector->nonce), aad = hex(vector->aad);
        const std::string sealed = std::string(vector->ciphertext) + vector->tag;
        EXPECT_EQ(hexOf(seal(key, nonce, aad, vector->plaintext)), sealed) << vector->name;
        EXPECT_EQ(open(key, nonce, aad, hex(sealed)), vector->plaintext) << vector->name;
    }
}

TEST(ChaCha20Poly1305, TamperingIsRefused) {
    const AeadVector& vector = sunscreen();
    const Bytes key = hex(vector.key), nonce = hex(vector.nonce), aad = hex(vector.aad);
    const Bytes sealed = seal(key, nonce, aad, vector.plaintext);
    auto flipped = [](Bytes bytes, std::size_t at) {
        bytes[at] ^= 0x80;
        return bytes;
    };
    struct Row {
        const char* name;
        Bytes key, nonce, aad, sealed;
    };
    const Row rows[] = {
        {"tag", key, nonce, aad, flipped(sealed, sealed.size() - 1)},
        {"ciphertext", key, nonce, aad, flipped(sealed, 0)},
        {"aad", key, nonce, flipped(aad, 11), sealed},
        {"no aad", key, nonce, {}, sealed},
        {"nonce", key, flipped(nonce, 0), aad, sealed},
        {"key", flipped(key, 31), nonce, aad, sealed},
        {"truncated", key, nonce, aad, Bytes(sealed.begin(), sealed.end() - 1)},
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

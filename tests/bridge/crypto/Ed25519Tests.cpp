#include "bridge/crypto/Ed25519.hpp"

#include <gtest/gtest.h>

#include "../Hex.hpp"

namespace orvel::crypto {
namespace {

struct Ed25519Vector {
    const char* name;
    const char* seed;
    const char* publicKey;
    const char* message;
    const char* signature;
};

// RFC 8032 7.1.
const Ed25519Vector kRfc8032Vectors[] = {
    {"test 1", "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
     "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b"
     "4"
     "6bd25bf5f0595bbe24655141438e7a100b"},
    {"test 2", "4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
     "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11"
     "d"
     "8c387b2eaeb4302aeeb00d291612bb0c00"},
    {"test 3", "c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
     "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
     "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984dc"
     "6"
     "594a7c15e9716ed28dc027beceea1ec40a"},
    {"SHA(abc)", "833fe62409237b9d62ec77587520911e9a759cec1d19755b7da901b96dca3d42",
     "ec172b93ad5e563bf4932c70e1245034c35467ef2efd4d64ebf819683467e2bf",
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
     "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f",
     "dc2a4459e7369633a52b1bf277839a00201009a3efbf3ecb69bea2186c26b58909351fc9ac90b3ecfdfbc7c66431e"
     "0"
     "303dca179c138ac17ad9bef1177331a704"},
};

TEST(Ed25519, KnownAnswers) {
    for (const auto& vector : kRfc8032Vectors) {
        const Bytes seed = hex(vector.seed), message = hex(vector.message);
        const auto keys = ed25519FromSeed(seed);
        ASSERT_TRUE(keys) << vector.name;
        EXPECT_EQ(hexOf(keys->publicKey), vector.publicKey) << vector.name;
        EXPECT_EQ(hexOf(ed25519Sign(seed, message)), vector.signature) << vector.name;
        EXPECT_TRUE(ed25519Verify(hex(vector.publicKey), message, hex(vector.signature)))
            << vector.name;
    }
}

TEST(Ed25519, AlteredInputsAreRefused) {
    const auto& vector = kRfc8032Vectors[2];
    const Bytes publicKey = hex(vector.publicKey), message = hex(vector.message),
                signature = hex(vector.signature);
    auto flipped = [](Bytes bytes, std::size_t at) {
        bytes[at] ^= 0x01;
        return bytes;
    };
    struct Row {
        const char* name;
        Bytes publicKey, message, signature;
    };
    const Row rows[] = {
        {"signature R", publicKey, message, flipped(signature, 0)},
        {"signature S", publicKey, message, flipped(signature, 40)},
        {"message", publicKey, flipped(message, 1), signature},
        {"other key", hex(kRfc8032Vectors[1].publicKey), message, signature},
        {"short signature", publicKey, message, Bytes(signature.begin(), signature.end() - 1)},
        {"short key", Bytes(publicKey.begin(), publicKey.end() - 1), message, signature},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(ed25519Verify(row.publicKey, row.message, row.signature)) << row.name;
    }
}

TEST(Ed25519, GeneratedKeysSignAndVerify) {
    const Ed25519Keys keys = ed25519Generate();
    ASSERT_EQ(keys.seed.size(), 32u);
    EXPECT_EQ(ed25519FromSeed(keys.seed)->publicKey, keys.publicKey);
    EXPECT_NE(keys.seed, ed25519Generate().seed);
    const Bytes message = bytesOf("client eph, client id, tv eph");
    EXPECT_TRUE(ed25519Verify(keys.publicKey, message, ed25519Sign(keys.seed, message)));
    EXPECT_FALSE(ed25519FromSeed(Bytes(31, 1)));
    EXPECT_TRUE(ed25519Sign(Bytes(33, 1), message).empty());
}

}  // namespace
}  // namespace orvel::crypto

#include "bridge/crypto/Srp6a.hpp"

#include <gtest/gtest.h>

#include "../Hex.hpp"
#include "bridge/crypto/SrpMath.hpp"

namespace orvel::crypto {
namespace {

constexpr const char* kUsername = "alice";
constexpr const char* kPassword = "password123";
constexpr const char* kSalt = "BEB25379 D1A8581E B5A72767 3A2441EE";
constexpr const char* kClientSecret =
    "60975527 035CF2AD 1989806F 0407210B C81EDC04 E2762A56 AFD529DD DA2D4393";
// HAP's own crypto tests: RFC 5054's inputs in pairing's group (3072-bit, SHA-512).
const char* const kSrpClientPublic =
    "FAB6F5D2 615D1E32 3512E799 1CC37443 F487DA60 4CA8C923 0FCB04E5 41DCE628 0B27CA46 80B0374F"
    "179DC3BD C7553FE6 2459798C 701AD864 A91390A2 8C93B644 ADBF9C00 745B942B 79F9012A 21B9B787"
    "82319D83 A1F83628 66FBD6F4 6BFC0DDB 2E1AB6E4 B45A9906 B82E37F0 5D6F97F6 A3EB6E18 2079759C"
    "4F684783 7B62321A C1B4FA68 641FCB4B B98DD697 A0C73641 385F4BAB 25B79358 4CC39FC8 D48D4BD8"
    "67A9A3C1 0F8EA121 70268E34 FE3BBE6F F89998D6 0DA2F3E4 283CBEC1 393D52AF 724A5723 0C604E9F"
    "BCE583D7 613E6BFF D67596AD 121A8707 EEC46944 95703368 6A155F64 4D5C5863 B48F61BD BF19A53E"
    "AB6DAD0A 186B8C15 2E5F5D8C AD4B0EF8 AA4EA500 8834C3CD 342E5E0F 167AD045 92CD8BD2 79639398"
    "EF9E114D FAAAB919 E14E8509 89224DDD 98576D79 385D2210 902E9F9B 1F2D86CF A47EE244 635465F7"
    "1058421A 0184BE51 DD10CC9D 079E6F16 04E7AA9B 7CF7883C 7D4CE12B 06EBE160 81E23F27 A231D184"
    "32D7D1BB 55C28AE2 1FFCF005 F57528D1 5A88881B B3BBB7FE";
const char* const kSrpServerPublic =
    "40F57088 A482D4C7 733384FE 0D301FDD CA9080AD 7D4F6FDF 09A01006 C3CB6D56 2E41639A E8FA21DE"
    "3B5DBA75 85B27558 9BDB2798 63C56280 7B2B9908 3CD1429C DBE89E25 BFBD7E3C AD3173B2 E3C5A0B1"
    "74DA6D53 91E6A06E 465F037A 40062548 39A56BF7 6DA84B1C 94E0AE20 8576156F E5C140A4 BA4FFC9E"
    "38C3B07B 88845FC6 F7DDDA93 381FE0CA 6084C4CD 2D336E54 51C464CC B6EC65E7 D16E548A 273E8262"
    "84AF2559 B6264274 215960FF F47BDD63 D3AFF064 D6137AF7 69661C9D 4FEE4738 2603C88E AA098058"
    "1D077584 61B777E4 356DDA58 35198B51 FEEA308D 70F75450 B71675C0 8C7D8302 FD7539DD 1FF2A11C"
    "B4258AA7 0D234436 AA42B6A0 615F3F91 5D55CC3B 966B2716 B36E4D1A 06CE5E5D 2EA3BEE5 A1270E87"
    "51DA45B6 0B997B0F FDB0F996 2FEE4F03 BEE780BA 0A845B1D 92714217 83AE6601 A61EA2E3 42E4F2E8"
    "BC935A40 9EAD19F2 21BD1B74 E2964DD1 9FC845F6 0EFC0933 8B60B6B2 56D8CAC8 89CCA306 CC370A0B"
    "18C8B886 E95DA0AF 5235FEF4 393020D2 B7F30569 04759042";
const char* const kSrpSessionKey =
    "5CBC219D B052138E E1148C71 CD449896 3D682549 CE91CA24 F098468F 06015BEB 6AF245C2 093F98C3"
    "651BCA83 AB8CAB2B 580BBF02 184FEFDF 26142F73 DF95AC50";
const char* const kSrpClientProof =
    "5F7C14AB 57ED0E94 FD1D78C6 B4DD09ED 7E340B7E 05D419A9 FD760F6B 35E523D1 310777A1 AE1D2826"
    "F596F3A8 5116CC45 7C7C964D 4F44DED5 559DA818 C88B617F";
const char* const kSrpServerProof =
    "2FA0E81F 5CB73B88 FA096427 0F321DD6 41F2227A 5D805C40 F1BFE96A AF6A19FF CE8E2328 7965A39E"
    "AB9D5A02 215F89E1 28177ED2 C4F103E6 55A04553 1BCBF7AD";

// Our side only: the accessory's is the fake TV's.
TEST(Srp6a, KnownAnswers) {
    const SrpClient client(SrpGroup::rfc5054_3072Sha512(), kUsername, kPassword, hex(kSalt),
                           hex(kSrpServerPublic), hex(kClientSecret));
    ASSERT_TRUE(client.valid());
    EXPECT_EQ(client.publicKey(), hex(kSrpClientPublic));
    EXPECT_EQ(client.sessionKey(), hex(kSrpSessionKey));
    EXPECT_EQ(client.proof(), hex(kSrpClientProof));
    const Bytes m2 = hex(kSrpServerProof);
    EXPECT_TRUE(client.verifyServerProof(m2));
    Bytes flipped = m2;
    flipped[0] ^= 0x80;
    for (const Bytes& altered : {flipped, Bytes(m2.begin(), m2.end() - 1), Bytes{}}) {
        EXPECT_FALSE(client.verifyServerProof(altered)) << altered.size();
    }
}

// RFC 5054 Appendix B, in its own group: the same code as pairing's, step by step.
TEST(Srp6a, Rfc5054KnownAnswer) {
    const SrpGroup& group = SrpGroup::rfc5054_1024Sha1();
    const Bytes B = hex(
        "BD0C6151 2C692C0C B6D041FA 01BB152D 4916A1E7 7AF46AE1 05393011 BAF38964 DC46A067 0DD125B9"
        "5A981652 236F99D9 B681CBF8 7837EC99 6C6DA044 53728610 D0C6DDB5 8B318885 D7D82C7F 8DEB75CE"
        "7BD4FBAA 37089E6F 9C6059F3 88838E7A 00030B33 1EB76840 910440B1 B27AAEAE EB4012B7 D7665238"
        "A8E3FB00 4B117B58");
    const Bytes A = hex(
        "61D5E490 F6F1B795 47B0704C 436F523D D0E560F0 C64115BB 72557EC4 4352E890 3211C046 92272D8B"
        "2D1A5358 A2CF1B6E 0BFCF99F 921530EC 8E393561 79EAE45E 42BA92AE ACED8251 71E1E8B9 AF6D9C03"
        "E1327F44 BE087EF0 6530E69F 66615261 EEF54073 CA11CF58 58F0EDFD FE15EFEA B349EF5D 76988A36"
        "72FAC47B 0769447B");
    const Bytes S = hex(
        "B0DC82BA BCF30674 AE450C02 87745E79 90A3381F 63B387AA F271A10D 233861E3 59B48220 F7C4693C"
        "9AE12B0A 6F67809F 0876E2D0 13800D6C 41BB59B6 D5979B5C 00A172B4 A2A5903A 0BDCAF8A 709585EB"
        "2AFAFA8F 3499B200 210DCC1F 10EB3394 3CD67FC8 8A2F39A4 BE5BEC4E C0A3212D C346D7E4 74B29EDE"
        "8A469FFE CA686E5A");
    const Bytes u = hex("CE38B959 3487DA98 554ED47D 70A7AE5F 462EF019");
    const Bytes x = detail::srpPasswordKey(group, kUsername, kPassword, hex(kSalt));
    EXPECT_EQ(detail::srpMultiplier(group), hex("7556AA04 5AEF2CDD 07ABAF0F 665C3E81 8913186F"));
    EXPECT_EQ(x, hex("94B7555A ABE9127C C58CCF49 93DB6CF8 4D16C124"));
    EXPECT_EQ(detail::srpScrambler(group, A, B), u);
    EXPECT_EQ(detail::srpClientPremaster(group, hex(kClientSecret), B, x, u), S);
    const SrpClient client(group, kUsername, kPassword, hex(kSalt), B, hex(kClientSecret));
    ASSERT_TRUE(client.valid());
    EXPECT_EQ(client.publicKey(), A);
}

// The TV's public keys that would make the secret predictable, or that are not numbers below N.
TEST(Srp6a, DegeneratePublicKeysAreRefused) {
    const SrpGroup& group = SrpGroup::rfc5054_1024Sha1();
    const Bytes salt = hex(kSalt);
    Bytes longerThanPrime(group.prime.size() + 1, 0);
    longerThanPrime.back() = 1;
    const std::pair<const char*, Bytes> keys[] = {
        {"empty", {}},
        {"zero", Bytes(group.prime.size(), 0)},
        {"the prime", group.prime},
        {"longer than the prime", longerThanPrime},
    };
    for (const auto& [name, key] : keys) {
        EXPECT_FALSE(SrpClient(group, kUsername, kPassword, salt, key).valid()) << name;
    }
}

// A drawn A never starts with a zero byte, so every published padding rule gives the same M1.
// In a group of 2^17 - 1 about half of all public keys would; 64 clients cannot all miss.
TEST(Srp6a, DrawnPublicKeyHasNoLeadingZero) {
    const SrpGroup tiny{Bytes{0x01, 0xff, 0xff}, Bytes{3}, SrpHash::sha1};
    const SrpServer server(tiny, kUsername, kPassword, hex(kSalt), Bytes{0x12, 0x34});
    for (int i = 0; i < 64; ++i) {
        const SrpClient client(tiny, kUsername, kPassword, hex(kSalt), server.publicKey());
        ASSERT_TRUE(client.valid());
        ASSERT_EQ(client.publicKey().size(), 3u);
        ASSERT_NE(client.publicKey()[0], 0) << i;
    }
}

}  // namespace
}  // namespace orvel::crypto

#include "bridge/companion/PairSetupClient.hpp"

#include <gtest/gtest.h>

#include <string>

#include "bridge/companion/PairSetupAccessory.hpp"
#include "bridge/companion/Tlv8.hpp"

namespace orvel {
namespace {

using Kind = PairingFailure::Kind;
using crypto::Bytes;

const std::string kSetupTvId = "5B7E0C1A-3D2F-4E6B-9A8C-1F2E3D4C5B6A";

struct SetupRun {
    crypto::Ed25519Keys tvKeys = crypto::ed25519Generate();
    PairSetupClient client;
    PairSetupAccessory tv;

    SetupRun(const std::string& clientPin, const std::string& tvPin,
             std::optional<std::uint32_t> delay = std::nullopt)
        : client(clientPin, "client-id", crypto::ed25519Generate()),
          tv(tvPin, kSetupTvId, tvKeys, delay) {}

    PairingOutcome<Bytes> upToM5() {
        auto m3 = client.onM2(tv.onM1(client.m1()));
        if (!m3) return m3.error();
        return client.onM4(tv.onM3(*m3));
    }
};

TEST(PairSetupClient, PairsWithTheRightCodeAndBothSidesKnowTheOther) {
    SetupRun pairing("0042", "0042");
    auto m5 = pairing.upToM5();
    ASSERT_TRUE(m5);
    auto credential = pairing.client.onM6(pairing.tv.onM5(*m5));
    ASSERT_TRUE(credential);
    EXPECT_EQ(credential->tvId, kSetupTvId);
    EXPECT_EQ(credential->tvPublicKey, pairing.tvKeys.publicKey);
    EXPECT_EQ(credential->ourId, "client-id");
    EXPECT_EQ(pairing.tv.paired(), (PairedController{"client-id", credential->ourKeys.publicKey}));
    EXPECT_EQ(crypto::ed25519FromSeed(credential->ourKeys.seed)->publicKey,
              credential->ourKeys.publicKey);
}

TEST(PairSetupClient, M1IsTheBytesATVExpects) {
    EXPECT_EQ(PairSetupClient("1234").m1(), (Bytes{0x00, 0x01, 0x00, 0x06, 0x01, 0x01}));
}

TEST(PairSetupClient, DrawsAFreshIdentityForEveryAttempt) {
    PairSetupClient first("1234");
    PairSetupClient second("1234");
    crypto::Ed25519Keys tvKeys = crypto::ed25519Generate();
    std::vector<CompanionCredential> credentials;
    for (auto* client : {&first, &second}) {
        PairSetupAccessory tv("1234", kSetupTvId, tvKeys);
        auto m3 = client->onM2(tv.onM1(client->m1()));
        ASSERT_TRUE(m3);
        auto m5 = client->onM4(tv.onM3(*m3));
        ASSERT_TRUE(m5);
        auto credential = client->onM6(tv.onM5(*m5));
        ASSERT_TRUE(credential);
        credentials.push_back(*credential);
    }
    EXPECT_NE(credentials[0].ourId, credentials[1].ourId);
    EXPECT_NE(credentials[0].ourKeys.seed, credentials[1].ourKeys.seed);
}

TEST(PairSetupClient, AWrongCodeIsRefusedWithTheDelayTheTVAsksFor) {
    for (auto delay : {std::optional<std::uint32_t>{}, std::optional<std::uint32_t>{16}}) {
        SetupRun pairing("1243", "1234", delay);
        auto m5 = pairing.upToM5();
        ASSERT_FALSE(m5);
        EXPECT_EQ(m5.error(), (PairingFailure{Kind::wrongCode, delay}));
        EXPECT_FALSE(pairing.tv.paired());
    }
}

TEST(PairSetupClient, ATVWhoseM6SignatureIsNotByItsKeyIsRefused) {
    // The TV signs with one key and names another.
    auto tvKeys = crypto::ed25519Generate();
    tvKeys.publicKey = crypto::ed25519Generate().publicKey;
    PairSetupClient client("1234");
    PairSetupAccessory tv("1234", kSetupTvId, tvKeys);
    auto m3 = client.onM2(tv.onM1(client.m1()));
    ASSERT_TRUE(m3);
    auto m5 = client.onM4(tv.onM3(*m3));
    ASSERT_TRUE(m5);
    auto credential = client.onM6(tv.onM5(*m5));
    ASSERT_FALSE(credential);
    EXPECT_EQ(credential.error().kind, Kind::badSignature);
}

TEST(PairSetupClient, AlteredAnswersFromTheTVAreRefused) {
    struct Case {
        const char* name;
        bool alterM4;  // else M6
        Kind kind;
    };
    for (const auto& c : {Case{"proof in M4", true, Kind::badSignature},
                          Case{"sealed data in M6", false, Kind::malformed}}) {
        SetupRun pairing("1234", "1234");
        auto m3 = pairing.client.onM2(pairing.tv.onM1(pairing.client.m1()));
        ASSERT_TRUE(m3);
        Bytes m4 = pairing.tv.onM3(*m3);
        if (c.alterM4) m4.back() ^= 0x01;  // the proof is M4's last item
        auto m5 = pairing.client.onM4(m4);
        if (c.alterM4) {
            ASSERT_FALSE(m5) << c.name;
            EXPECT_EQ(m5.error().kind, c.kind) << c.name;
            continue;
        }
        ASSERT_TRUE(m5);
        Bytes m6 = pairing.tv.onM5(*m5);
        m6.back() ^= 0x01;
        auto credential = pairing.client.onM6(m6);
        ASSERT_FALSE(credential) << c.name;
        EXPECT_EQ(credential.error().kind, c.kind) << c.name;
    }
}

struct M2Answer {
    std::string name;
    Bytes m2;
    PairingFailure failure;
};

class PairSetupClientM2 : public testing::TestWithParam<M2Answer> {};

TEST_P(PairSetupClientM2, RefusalsAndDamageBecomeTheirKind) {
    PairSetupClient client("1234");
    auto m3 = client.onM2(GetParam().m2);
    ASSERT_FALSE(m3);
    EXPECT_EQ(m3.error(), GetParam().failure);
}

Bytes m2Of(const Tlv8::Items& items) {
    return Tlv8::encode(items);
}

const Bytes kM2Salt(16, 0x5A);
const Bytes kM2ServerKey(384, 0x11);

INSTANTIATE_TEST_SUITE_P(
    Cases, PairSetupClientM2,
    testing::Values(
        M2Answer{"Busy", m2Of({{6, {2}}, {7, {7}}}), {Kind::busy, {}}},
        M2Answer{"Unavailable", m2Of({{6, {2}}, {7, {6}}}), {Kind::unavailable, {}}},
        M2Answer{"NoRoom", m2Of({{6, {2}}, {7, {4}}}), {Kind::noRoom, {}}},
        M2Answer{"TooManyTries", m2Of({{6, {2}}, {7, {5}}}), {Kind::tooManyTries, {}}},
        M2Answer{"BackoffWithDelay",
                 m2Of({{6, {2}}, {7, {3}}, {8, {0x2C, 0x01}}}),
                 {Kind::backoff, 300}},
        M2Answer{"DelayWithoutACode", m2Of({{6, {2}}, {8, {30}}}), {Kind::backoff, 30}},
        M2Answer{"UnknownCode", m2Of({{6, {2}}, {7, {1}}}), {Kind::refused, {}}},
        M2Answer{"CodeNobodyKnows", m2Of({{6, {2}}, {7, {0x42}}}), {Kind::refused, {}}},
        M2Answer{"EmptyErrorItem", m2Of({{6, {2}}, {7, {}}}), {Kind::malformed, {}}},
        M2Answer{"NoSalt", m2Of({{6, {2}}, {3, kM2ServerKey}}), {Kind::malformed, {}}},
        M2Answer{"NoServerKey", m2Of({{6, {2}}, {2, kM2Salt}}), {Kind::malformed, {}}},
        M2Answer{
            "WrongState", m2Of({{6, {4}}, {2, kM2Salt}, {3, kM2ServerKey}}), {Kind::malformed, {}}},
        M2Answer{"ServerKeyZero",
                 m2Of({{6, {2}}, {2, kM2Salt}, {3, Bytes(384, 0)}}),
                 {Kind::malformed, {}}},
        M2Answer{"Truncated", Bytes{0x06, 0x01, 0x02, 0x02, 0x10, 0x5A}, {Kind::malformed, {}}}),
    [](const auto& param) { return param.param.name; });

TEST(PairSetupClient, AnswersOutOfOrderAreMalformed) {
    PairSetupClient client("1234");
    PairSetupAccessory tv("1234", kSetupTvId, crypto::ed25519Generate());
    const Bytes m2 = tv.onM1(client.m1());
    EXPECT_EQ(client.onM4(m2).error().kind, Kind::malformed);
    EXPECT_EQ(client.onM6(m2).error().kind, Kind::malformed);
    ASSERT_TRUE(client.onM2(m2));
    EXPECT_EQ(client.onM2(m2).error().kind, Kind::malformed);
}

}  // namespace
}  // namespace orvel

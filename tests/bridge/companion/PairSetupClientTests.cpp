#include "bridge/companion/PairSetupClient.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "bridge/companion/PairSetupAccessory.hpp"
#include "bridge/companion/Tlv8.hpp"

namespace orvel {
namespace {

using Kind = PairingFailure::Kind;
using crypto::Bytes;

const std::string kSetupTvId = "5B7E0C1A-3D2F-4E6B-9A8C-1F2E3D4C5B6A";

struct SetupRun {
    PairSetupClient client;
    crypto::Ed25519Keys tvKeys;
    PairSetupAccessory tv;

    explicit SetupRun(PairSetupClient ours, const std::string& tvPin = "1234",
                      std::optional<std::uint32_t> delay = std::nullopt,
                      crypto::Ed25519Keys keys = crypto::ed25519Generate())
        : client(std::move(ours)), tvKeys(std::move(keys)), tv(tvPin, kSetupTvId, tvKeys, delay) {}

    int alterAt = 0;  // the TV's answer M<alterAt> arrives with its last bit flipped

    Bytes answer(int step, Bytes bytes) {
        if (step == alterAt) bytes.back() ^= 0x01;
        return bytes;
    }
    PairingOutcome<Bytes> upToM5() {
        auto m3 = client.onM2(answer(2, tv.onM1(client.m1())));
        if (!m3) return m3.error();
        return client.onM4(answer(4, tv.onM3(*m3)));
    }
    PairingOutcome<CompanionCredential> toTheEnd() {
        auto m5 = upToM5();
        if (!m5) return m5.error();
        return client.onM6(answer(6, tv.onM5(*m5)));
    }
};

TEST(PairSetupClient, PairsWithTheRightCodeAndBothSidesKnowTheOther) {
    SetupRun pairing(PairSetupClient("0042", "client-id", crypto::ed25519Generate()), "0042");
    auto credential = pairing.toTheEnd();
    ASSERT_TRUE(credential);
    EXPECT_EQ(credential->tvId, kSetupTvId);
    EXPECT_EQ(credential->tvPublicKey, pairing.tvKeys.publicKey);
    EXPECT_EQ(credential->ourId, "client-id");
    EXPECT_EQ(pairing.tv.paired(), (PairedController{"client-id", credential->ourKeys.publicKey}));
}

TEST(PairSetupClient, DrawsAFreshIdentityForEveryAttempt) {
    auto first = SetupRun(PairSetupClient("1234")).toTheEnd();
    auto second = SetupRun(PairSetupClient("1234")).toTheEnd();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->ourId, second->ourId);
    EXPECT_NE(first->ourKeys.seed, second->ourKeys.seed);
}

TEST(PairSetupClient, AWrongCodeIsRefusedWithTheDelayTheTVAsksFor) {
    for (auto delay : {std::optional<std::uint32_t>{}, std::optional<std::uint32_t>{16}}) {
        SetupRun pairing(PairSetupClient("1243"), "1234", delay);
        auto m5 = pairing.upToM5();
        ASSERT_FALSE(m5);
        EXPECT_EQ(m5.error(), (PairingFailure{Kind::wrongCode, delay}));
        EXPECT_FALSE(pairing.tv.paired());
    }
}

TEST(PairSetupClient, AlteredAnswersFromTheTVAreRefused) {
    const std::tuple<const char*, int, bool, Kind> rows[] = {
        {"M6 signed with a key other than the one it names", 0, true, Kind::badSignature},
        {"the proof, M4's last item", 4, false, Kind::badSignature},
        {"M6's sealed data", 6, false, Kind::malformed},
    };
    for (const auto& [name, alterAt, otherKey, kind] : rows) {
        auto tvKeys = crypto::ed25519Generate();
        if (otherKey) tvKeys.publicKey = crypto::ed25519Generate().publicKey;
        SetupRun pairing(PairSetupClient("1234"), "1234", std::nullopt, tvKeys);
        pairing.alterAt = alterAt;
        auto credential = pairing.toTheEnd();
        ASSERT_FALSE(credential) << name;
        EXPECT_EQ(credential.error().kind, kind) << name;
    }
}

TEST(PairSetupClient, M2RefusalsAndDamageBecomeTheirKind) {
    const Bytes salt(16, 0x5A), key(384, 0x11);
    const std::tuple<const char*, Bytes, PairingFailure> rows[] = {
        {"busy", Tlv8::encode({{6, {2}}, {7, {7}}}), {Kind::busy, {}}},
        {"unavailable", Tlv8::encode({{6, {2}}, {7, {6}}}), {Kind::unavailable, {}}},
        {"no room", Tlv8::encode({{6, {2}}, {7, {4}}}), {Kind::noRoom, {}}},
        {"too many tries", Tlv8::encode({{6, {2}}, {7, {5}}}), {Kind::tooManyTries, {}}},
        {"backoff with a delay",
         Tlv8::encode({{6, {2}}, {7, {3}}, {8, {0x2C, 0x01}}}),
         {Kind::backoff, 300}},
        {"a delay without a code", Tlv8::encode({{6, {2}}, {8, {30}}}), {Kind::backoff, 30}},
        {"unknown code", Tlv8::encode({{6, {2}}, {7, {1}}}), {Kind::refused, {}}},
        {"a code nobody knows", Tlv8::encode({{6, {2}}, {7, {0x42}}}), {Kind::refused, {}}},
        {"empty error item", Tlv8::encode({{6, {2}}, {7, {}}}), {Kind::malformed, {}}},
        {"no salt", Tlv8::encode({{6, {2}}, {3, key}}), {Kind::malformed, {}}},
        {"no server key", Tlv8::encode({{6, {2}}, {2, salt}}), {Kind::malformed, {}}},
        {"wrong state", Tlv8::encode({{6, {4}}, {2, salt}, {3, key}}), {Kind::malformed, {}}},
        {"server key zero",
         Tlv8::encode({{6, {2}}, {2, salt}, {3, Bytes(384, 0)}}),
         {Kind::malformed, {}}},
        {"truncated", Bytes{0x06, 0x01, 0x02, 0x02, 0x10, 0x5A}, {Kind::malformed, {}}},
    };
    for (const auto& [name, m2, failure] : rows) {
        PairSetupClient client("1234");
        auto m3 = client.onM2(m2);
        ASSERT_FALSE(m3) << name;
        EXPECT_EQ(m3.error(), failure) << name;
    }
}

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

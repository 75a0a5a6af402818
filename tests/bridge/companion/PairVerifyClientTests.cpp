#include "bridge/companion/PairVerifyClient.hpp"

#include <gtest/gtest.h>

#include <string>

#include "bridge/companion/PairVerifyAccessory.hpp"
#include "bridge/companion/Tlv8.hpp"

namespace orvel {
namespace {

using Kind = PairingFailure::Kind;
using crypto::Bytes;

struct VerifyHome {
    crypto::Ed25519Keys tvKeys = crypto::ed25519Generate();
    crypto::Ed25519Keys ourKeys = crypto::ed25519Generate();
    CompanionCredential credential{ourKeys, "client-id", "TV-ID", tvKeys.publicKey};
    PairedController us{"client-id", ourKeys.publicKey};
};

struct VerifyRun {
    PairingOutcome<Bytes> secret;
    std::optional<Bytes> tvSecret;
};

VerifyRun runVerify(const CompanionCredential& credential, PairVerifyAccessory& tv) {
    PairVerifyClient client(credential);
    auto m3 = client.onM2(tv.onM1(client.m1()));
    if (!m3) return {m3.error(), tv.sharedSecret()};
    return {client.onM4(tv.onM3(*m3)), tv.sharedSecret()};
}

TEST(PairVerifyClient, TheStoredCredentialGivesBothSidesOneSecret) {
    VerifyHome home;
    PairVerifyAccessory tv("TV-ID", home.tvKeys,
                           {{"someone-else", crypto::ed25519Generate().publicKey}, home.us});
    auto run = runVerify(home.credential, tv);
    ASSERT_TRUE(run.secret);
    ASSERT_TRUE(run.tvSecret);
    EXPECT_EQ(*run.secret, *run.tvSecret);
    EXPECT_EQ(run.secret->size(), 32u);

    auto again = runVerify(home.credential, tv);
    ASSERT_TRUE(again.secret);
    EXPECT_NE(*again.secret, *run.secret) << "every connection has fresh ephemeral keys";
}

TEST(PairVerifyClient, RefusesTheWrongTVAndIsRefusedByATVThatForgotUs) {
    struct Case {
        const char* name;
        bool otherKey;
        bool otherId;
        bool tvKnowsUs;
        Kind kind;
    };
    for (const auto& c :
         {Case{"another key under the stored identifier", true, false, true, Kind::badSignature},
          Case{"another identifier", false, true, true, Kind::otherTV},
          Case{"a TV without our pairing", false, false, false, Kind::notRecognised}}) {
        VerifyHome home;
        std::vector<PairedController> known;
        if (c.tvKnowsUs) known.push_back(home.us);
        PairVerifyAccessory tv(c.otherId ? "OTHER-TV" : "TV-ID",
                               c.otherKey ? crypto::ed25519Generate() : home.tvKeys, known);
        auto run = runVerify(home.credential, tv);
        ASSERT_FALSE(run.secret) << c.name;
        EXPECT_EQ(run.secret.error().kind, c.kind) << c.name;
        EXPECT_FALSE(run.tvSecret) << c.name;
    }
}

TEST(PairVerifyClient, M2AndM4DamageAndRefusals) {
    struct Case {
        const char* name;
        bool atM2;
        Bytes answer;
        PairingFailure failure;
    };
    const Bytes key(32, 9);
    for (const auto& c :
         {Case{"M2 error", true, Tlv8::encode({{6, {2}}, {7, {2}}}), {Kind::notRecognised, {}}},
          Case{"M2 without a key",
               true,
               Tlv8::encode({{6, {2}}, {5, Bytes(40, 1)}}),
               {Kind::malformed, {}}},
          Case{"M2 undecryptable",
               true,
               Tlv8::encode({{6, {2}}, {3, key}, {5, Bytes(40, 1)}}),
               {Kind::malformed, {}}},
          Case{"M4 busy", false, Tlv8::encode({{6, {4}}, {7, {7}}}), {Kind::busy, {}}},
          Case{"M4 wrong state", false, Tlv8::encode({{6, {2}}}), {Kind::malformed, {}}}}) {
        VerifyHome home;
        PairVerifyAccessory tv("TV-ID", home.tvKeys, {home.us});
        PairVerifyClient client(home.credential);
        const Bytes m2 = tv.onM1(client.m1());
        auto outcome = client.onM2(c.atM2 ? c.answer : m2);  // M3, or the end at M2
        if (!c.atM2) {
            ASSERT_TRUE(outcome) << c.name;
            outcome = client.onM4(c.answer);
        }
        ASSERT_FALSE(outcome) << c.name;
        EXPECT_EQ(outcome.error(), c.failure) << c.name;
    }
}

}  // namespace
}  // namespace orvel

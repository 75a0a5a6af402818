#include <gtest/gtest.h>

#include "SessionHarness.hpp"
#include "session/SessionDefaults.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

const std::string kKeyringFailure = "Pairing credentials could not be accessed in the keyring (3).";

json pairBegin(const std::string& id, const std::string& protocol) {
    return {{"device", id}, {"protocol", protocol}};
}

struct PairingFlowTest : SessionTest {
    explicit PairingFlowTest(const json& stored = json::object()) : SessionTest(stored) {
        store.setOnShowSettings([this] { ++shown; });
        bridge.start();
    }

    // Answers the pending "pairBegin", types `pin` and answers "pairFinish" with `finish`.
    void pairStep(const std::string& pin, const json& finish) {
        ASSERT_TRUE(bridge.reply("pairBegin"));
        idle();
        store.setPairingPIN(pin);
        store.submitPIN();
        idle();
        ASSERT_TRUE(bridge.reply("pairFinish", finish));
        idle();
    }

    int shown = 0;
};

TEST_F(PairingFlowTest, BothProtocolsArePairedSavedAfterEachAndTheTVConnected) {
    store.pair(kLiving);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(h.state().pairingBusy);
    idle();
    EXPECT_EQ(bridge.ops(), (std::vector<std::string>{"disconnect", "pairBegin"}));
    EXPECT_EQ(bridge.last().fields, pairBegin(kLiving.id, "AirPlay"));

    pairStep("1234", {{"protocol", "AirPlay"}, {"credentials", "air-1"}});
    EXPECT_EQ(h.credentials.contents()[kLiving.id], (CredentialSet{{"AirPlay", "air-1"}}));
    EXPECT_EQ(bridge.last().fields, pairBegin(kLiving.id, "Companion"));
    EXPECT_TRUE(h.state().savedDevices.empty()) << "saved only once every protocol is paired";

    pairStep("1234", {{"protocol", "Companion"}, {"credentials", "comp-1"}});
    const CredentialSet both{{"AirPlay", "air-1"}, {"Companion", "comp-1"}};
    EXPECT_EQ(h.credentials.contents()[kLiving.id], both);
    EXPECT_FALSE(h.state().pairingDevice || h.state().pairingBusy);
    EXPECT_EQ(h.storedDefaults()["pairedDevices"], savedList({kLiving}));
    EXPECT_EQ(bridge.last().op, "connect");
    EXPECT_EQ(bridge.last().fields, json({{"device", kLiving.id}, {"credentials", both}}));
}

TEST_F(PairingFlowTest, ATVThatLacksNothingIsSavedOnceAndConnectedWithoutAPin) {
    h.credentials.save(kKitchen.id, {{"Companion", "c"}});
    std::size_t connects = 0;
    for (const auto& device : {kKitchen, kBedroom, kKitchen}) {
        SCOPED_TRACE(device.name);
        store.pair(device);
        idle();
        EXPECT_EQ(bridge.count("pairBegin"), 0u);
        EXPECT_EQ(bridge.count("connect"), ++connects);
        EXPECT_FALSE(h.state().pairingDevice);
    }
    EXPECT_EQ(h.storedDefaults()["pairedDevices"], savedList({kKitchen, kBedroom}));
}

TEST_F(PairingFlowTest, OnlyFourAsciiDigitsAreSentExactlyAsTypedAndOnlyOnce) {
    store.pair(kKitchen);
    idle();
    store.submitPIN();  // still waiting for "pairBegin"
    bridge.reply("pairBegin");
    idle();
    for (const std::string pin : {"", "123", "12345", "12a4", "\u0661\u0662\u0663\u0664", " 123"}) {
        SCOPED_TRACE(pin);
        store.setPairingPIN(pin);
        store.submitPIN();
        EXPECT_EQ(bridge.count("pairFinish"), 0u);
        EXPECT_FALSE(h.state().pairingBusy);
    }
    store.setPairingPIN("0042");
    store.submitPIN();
    store.submitPIN();
    EXPECT_EQ(bridge.count("pairFinish"), 1u);
    EXPECT_EQ(bridge.last().fields, json({{"pin", "0042"}}));
    EXPECT_TRUE(h.state().pairingBusy);
}

TEST_F(PairingFlowTest, RefusalsAndOddRepliesAbandonThePairing) {
    const json ok = json::object();
    const struct {
        json beginReply, finishReply;  // no finish after a refused begin
        std::string error;
    } cases[] = {
        {{{"error", "Kitchen cannot pair now."}}, nullptr, "Kitchen cannot pair now."},
        {ok, {{"error", "The PIN does not match."}}, "The PIN does not match."},
        {ok, {{"protocol", "AirPlay"}, {"credentials", "x"}}, ""},  // the other protocol
        {ok, {{"protocol", "Companion"}}, ""},
        {ok, {{"protocol", "Companion"}, {"credentials", 7}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.beginReply.dump() + " " + c.finishReply.dump());
        store.setPairingPIN("");
        store.pair(kKitchen);
        idle();
        const auto cancels = bridge.count("pairCancel");
        bridge.reply("pairBegin", c.beginReply);
        idle();
        if (!c.finishReply.is_null()) {
            store.setPairingPIN("4321");
            store.submitPIN();
            bridge.reply("pairFinish", c.finishReply);
            idle();
        }
        EXPECT_FALSE(h.state().pairingDevice || h.state().pairingBusy);
        EXPECT_EQ(h.state().pairingPIN, "");
        EXPECT_EQ(h.state().error, c.error);
        EXPECT_EQ(bridge.count("pairCancel"), cancels + 1);
        EXPECT_TRUE(h.credentials.contents().empty() && h.state().savedDevices.empty());
    }
}

// Living Room's pairing waits for a reply, is abandoned, and then the reply comes.
struct LateReply {
    const char* name;
    bool pinSent;  // waits for "pairFinish" after AirPlay was paired, else for "pairBegin"
    json reply;
    bool otherPairingBusy;
};

struct PairingFlowLateReplyTest : PairingFlowTest, ::testing::WithParamInterface<LateReply> {};

TEST_P(PairingFlowLateReplyTest, ChangesNothing) {
    const auto& row = GetParam();
    store.pair(kLiving);
    idle();
    if (row.pinSent) {
        pairStep("1234", {{"protocol", "AirPlay"}, {"credentials", "air"}});
        bridge.reply("pairBegin");
        idle();
        store.setPairingPIN("1234");
        store.submitPIN();
    }
    const std::string how = row.name;
    if (how == "Cancel") store.cancelPairing();
    if (how == "PairAnother") store.pair(kKitchen);
    if (how == "Forget") store.forget(kLiving);
    idle();
    EXPECT_EQ(bridge.count("pairCancel"), 1u);
    EXPECT_EQ(h.state().pairingDevice.has_value(), row.otherPairingBusy);
    store.setPairingPIN("99");  // the user types on
    bridge.reply(row.pinSent ? "pairFinish" : "pairBegin", row.reply);
    idle();
    EXPECT_EQ(h.state().pairingPIN, "99");
    EXPECT_EQ(h.state().error, "");
    EXPECT_EQ(h.state().pairingBusy, row.otherPairingBusy);
    EXPECT_TRUE(h.state().savedDevices.empty());
    if (!row.pinSent) return;
    EXPECT_EQ(h.credentials.contents()[kLiving.id], (CredentialSet{{"AirPlay", "air"}}));
    store.pair(kLiving);  // asks only for what the first pairing lacked
    idle();
    EXPECT_EQ(bridge.last().fields, pairBegin(kLiving.id, "Companion"));
}

INSTANTIATE_TEST_SUITE_P(
    Abandoned, PairingFlowLateReplyTest,
    ::testing::Values(
        LateReply{"Cancel", true, {{"protocol", "Companion"}, {"credentials", "late"}}, false},
        LateReply{"PairAnother", false, {{"error", "Living Room went away."}}, true},
        LateReply{"Forget", false, json::object(), false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PairingFlowTest, KeyringAndHelperFailuresAbandonWithTheirSentence) {
    h.credentials.failWith(CredentialErrorCode::kWriteFailed);
    store.pair(kKitchen);  // the load fails
    idle();
    EXPECT_EQ(h.state().error, kKeyringFailure);
    EXPECT_EQ(bridge.count("pairBegin"), 0u);

    h.credentials.failWith(std::nullopt);
    store.pair(kKitchen);
    idle();
    EXPECT_EQ(h.state().error, "") << "a new pairing starts with a clear error line";
    h.credentials.failWith(CredentialErrorCode::kWriteFailed);
    pairStep("4321", {{"protocol", "Companion"}, {"credentials", "k"}});  // the save fails
    EXPECT_EQ(h.state().error, kKeyringFailure);
    EXPECT_TRUE(h.state().savedDevices.empty());
    EXPECT_EQ(bridge.last().op, "pairCancel");

    h.credentials.failWith(std::nullopt);
    bridge.stop();
    bridge.startError = "The TV helper is missing.";
    store.pair(kKitchen);
    idle();
    EXPECT_EQ(h.state().error, "The TV helper is missing.");

    store.suspend();
    bridge.startError.reset();
    store.pair(kKitchen);
    EXPECT_FALSE(h.state().pairingDevice) << "nothing starts while suspended";
}

struct PairingFlowForgetTest : PairingFlowTest {
    PairingFlowForgetTest()
        : PairingFlowTest({{"pairedDevices", savedList({kLiving, kKitchen})},
                           {"lastDevice", kKitchen.id},
                           {"followPlaying", false}}) {
        h.credentials.save(kLiving.id, kLivingCredentials);
        h.credentials.save(kKitchen.id, {{"Companion", "k"}});
    }
};

TEST_F(PairingFlowForgetTest, ForgetRemovesTheCredentialsAndTheSavedTV) {
    store.connect(kKitchen);
    idle();
    store.forget(kKitchen);
    EXPECT_EQ(h.state().selectedID, "");
    EXPECT_EQ(bridge.last().op, "disconnect");
    EXPECT_EQ(bridge.last().fields, json({{"device", kKitchen.id}}));
    store.forget(kKitchen);  // while the delete is pending
    store.pair(kKitchen);
    store.connect(kKitchen);
    EXPECT_FALSE(h.state().pairingDevice);
    EXPECT_FALSE(h.state().connecting);
    idle();
    EXPECT_EQ(h.credentials.contents().size(), 1u);
    EXPECT_EQ(h.state().savedDevices, std::vector<TVDevice>{kLiving});
    EXPECT_EQ(h.storedDefaults()["pairedDevices"], savedList({kLiving}));
}

TEST_F(PairingFlowForgetTest, AFailedDeleteKeepsTheTVButNotTheSelection) {
    h.credentials.failWith(CredentialErrorCode::kWriteFailed);
    store.forget(kKitchen);
    idle();
    EXPECT_EQ(h.state().error, kKeyringFailure);
    EXPECT_EQ(h.state().savedDevices, (std::vector<TVDevice>{kLiving, kKitchen}));
    EXPECT_EQ(h.state().selectedID, "");
    EXPECT_FALSE(h.storedDefaults().contains(SessionDefaults::kLastDevice));
}

}  // namespace
}  // namespace orvel::test

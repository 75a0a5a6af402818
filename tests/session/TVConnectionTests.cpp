#include "session/AppStore.hpp"

#include <gtest/gtest.h>

#include "SessionHarness.hpp"
#include "platform/FileCredentialStore.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;
using Ops = std::vector<std::string>;

const std::string kHelperStopped = "The TV connection helper stopped. Reconnect to try again.";

// Watching is off: these tests follow the connection's own requests.
json pairedHousehold() {
    return {{"pairedDevices", savedList({kBedroom, kLiving})},
            {"lastDevice", kBedroom.id},
            {"followPlaying", false}};
}

struct TVConnectionTest : SessionTest {
    TVConnectionTest() : SessionTest(pairedHousehold()) {
        h.credentials.save(kLiving.id, kLivingCredentials);
        store.start();
    }
    double nextAttempt() { return h.untilNext("connect"); }
};

TEST_F(TVConnectionTest, FirstReadyScansAndConnectsToTheLastTVOnlyOnce) {
    bridge.emit({{"event", "ready"}});
    h.idle();
    EXPECT_EQ(bridge.ops(), (Ops{"scan", "connect"}));
    EXPECT_EQ(bridge.last().fields,
              json({{"device", kBedroom.id}, {"credentials", json::object()}}));
    EXPECT_TRUE(h.state().scanning && h.state().connecting);

    bridge.reply("scan", {{"devices", json::parse(R"([{"id":"x","name":"X"},{"id":"y"}])")},
                          {"notice", "Apple TVs are found only while the Avahi daemon runs."}});
    bridge.reply("connect");
    h.idle();
    EXPECT_EQ(h.state().devices, (std::vector<TVDevice>{TVDevice("x", "X", {})}));
    EXPECT_EQ(h.state().scanNotice, "Apple TVs are found only while the Avahi daemon runs.");
    EXPECT_TRUE(h.state().connected && !h.state().connecting);
    EXPECT_EQ(h.storedDefaults()["lastDevice"], kBedroom.id);

    bridge.emit({{"event", "ready"}});  // a restarted bridge
    EXPECT_EQ(bridge.requests.size(), 2u);
}

TEST_F(TVConnectionTest, ReconnectDelaysDoubleToAMinuteAndResetOnSuccess) {
    h.connect(kBedroom, {{"error", "The TV is busy."}});
    EXPECT_EQ(h.state().error, "The TV is busy.");
    for (double expected : {5, 10, 20, 40, 60, 60}) {
        EXPECT_DOUBLE_EQ(nextAttempt(), expected);
        bridge.reply("connect", {{"error", "The TV is busy."}});
        h.idle();
    }
    EXPECT_DOUBLE_EQ(nextAttempt(), 60);
    bridge.reply("connect");
    h.idle();
    EXPECT_TRUE(h.state().connected);

    bridge.emit({{"event", "disconnected"}, {"device", kBedroom.id}, {"reason", "TV went away."}});
    EXPECT_EQ(h.state().error, "TV went away.");
    EXPECT_DOUBLE_EQ(nextAttempt(), 5);
}

TEST_F(TVConnectionTest, ReadyWhileConnectingOnlyScansAndAStaleConnectReplyIsIgnored) {
    store.connect(kBedroom);
    h.idle();
    bridge.emit({{"event", "ready"}});
    h.idle();
    store.connect(kLiving);
    h.idle();
    EXPECT_EQ(bridge.ops(), (Ops{"connect", "scan", "connect"}));
    EXPECT_EQ(bridge.last().fields["credentials"], json(kLivingCredentials));

    bridge.reply("connect", {{"error", "Bedroom refused."}});  // the first attempt's
    h.idle();
    EXPECT_EQ(h.state().error, "");
    EXPECT_TRUE(h.state().connecting);
    EXPECT_EQ(nextAttempt(), -1);

    bridge.reply("connect");
    h.idle();
    EXPECT_TRUE(h.state().connected);
}

TEST_F(TVConnectionTest, SleepDisconnectsEverythingAndWakeReconnectsAtOnce) {
    h.connect(kBedroom);
    store.suspend();
    EXPECT_EQ(bridge.last().op, "disconnect");
    EXPECT_EQ(bridge.last().fields, json::object());

    bridge.emit({{"event", "disconnected"}, {"device", kBedroom.id}});
    EXPECT_EQ(nextAttempt(), -1) << "no reconnection while asleep";

    store.resume();
    h.idle();
    EXPECT_EQ(bridge.last().op, "connect");
}

// A TV without credentials is paired instead of connected.
TEST(TVConnectionStorage, ADamagedCredentialFileIsSaidAndOnlyTVsThatNeedPairingPairAgain) {
    SessionHarness h(pairedHousehold());
    FileCredentialStore file(h.dir / "data");
    ScratchDir::write(h.dir / "data/credentials.json", "garbage");
    h.replacementStore = &file;
    h.make();
    int told = 0;
    auto watch = h.store->observe([&] { ++told; });
    h.store->start();
    h.connect(kBedroom);
    EXPECT_TRUE(h.state().connected);
    ASSERT_EQ(h.state().storageProblems.size(), 1u);
    EXPECT_NE(h.state().storageProblems[0].find("must be paired again"), std::string::npos);
    EXPECT_GT(told, 0);

    h.store->connect(kLiving);
    h.idle();
    EXPECT_EQ(h.state().pairingDevice, kLiving);
    EXPECT_EQ(h.state().settingsTab, "tvs");
    EXPECT_EQ(h.bridge->count("connect"), 1u);
    EXPECT_EQ(h.state().storageProblems.size(), 1u);
}

TEST_F(TVConnectionTest, TheHelperStoppingShowsWhyAndReconnectsWithARestartedHelper) {
    h.connect(kBedroom);
    bridge.emit({{"event", "state"}, {"device", kBedroom.id}, {"playing", true}});
    bridge.die(kHelperStopped);
    EXPECT_EQ(h.state().error, kHelperStopped);
    EXPECT_FALSE(h.state().connected || h.state().playing);
    EXPECT_TRUE(h.state().statuses.empty());

    EXPECT_DOUBLE_EQ(nextAttempt(), 5);
    EXPECT_EQ(bridge.starts, 2);
    bridge.reply("connect", {{"error", "The TV is asleep."}});
    EXPECT_DOUBLE_EQ(nextAttempt(), 10);
}

TEST_F(TVConnectionTest, FailuresThatOnlyTheNextConnectRetries) {
    const std::string missing = "The TV helper is missing. Build the app with Scripts/build-app.";
    for (bool keyring : {false, true}) {
        SCOPED_TRACE(keyring ? "keyring failure" : "helper missing");
        SessionHarness fresh(pairedHousehold());
        fresh.make();
        if (keyring) {
            fresh.credentials.failWith(CredentialErrorCode::kLocked);
        } else {
            fresh.bridge->startError = missing;
        }
        fresh.store->connect(kLiving);
        fresh.idle();
        EXPECT_EQ(
            fresh.state().error,
            keyring ? "Pairing credentials could not be accessed in the keyring (7)." : missing);
        EXPECT_EQ(fresh.untilNext("connect"), -1);
    }
}

TEST_F(TVConnectionTest, DisconnectedEventsForOtherTVsOrDuringAnAttemptChangeLittle) {
    store.connect(kBedroom);
    h.idle();
    bridge.emit({{"event", "disconnected"}, {"reason", "old connection"}});
    EXPECT_TRUE(h.state().connecting) << "the attempt answers for itself";
    EXPECT_EQ(h.state().error, "");

    bridge.reply("connect");
    bridge.emit({{"event", "state"}, {"device", kLiving.id}});
    EXPECT_EQ(h.state().statuses.count(kLiving.id), 1u);
    bridge.emit({{"event", "disconnected"}, {"device", kLiving.id}, {"reason", "x"}});
    EXPECT_EQ(h.state().statuses.count(kLiving.id), 0u);
    EXPECT_TRUE(h.state().connected && h.state().error.empty());
}

// Each state event replaces the last: what it lacks falls back, it is not kept.
TEST_F(TVConnectionTest, StateEventsReplaceTheRemotesStateWhole) {
    h.connect(kBedroom);
    bridge.emit({{"event", "state"},
                 {"device", kBedroom.id},
                 {"capabilities", {"up", "playPause"}},
                 {"playing", true},
                 {"volume", 12}});
    EXPECT_EQ(h.state().capabilities, (std::set{RemoteAction::up, RemoteAction::playPause}));
    EXPECT_TRUE(store.can(RemoteAction::up) && !store.can(RemoteAction::down));
    EXPECT_EQ(h.state().volume, 12);

    bridge.emit({{"event", "state"}, {"device", kBedroom.id}});
    EXPECT_FALSE(h.state().playing);
    EXPECT_EQ(h.state().volume, std::nullopt) << "a TV without a volume is not at 0";
    EXPECT_TRUE(h.state().capabilities.empty());
}

TEST_F(TVConnectionTest, ShutdownStopsTheHelperAndAnyPendingReconnection) {
    h.connect(kBedroom, {{"error", "busy"}});
    store.shutdown();
    EXPECT_EQ(bridge.stops, 1);
    EXPECT_EQ(nextAttempt(), -1);

    const int starts = bridge.starts;
    std::string appsError;
    store.apps(kKitchen, [&](auto, const std::string& error) { appsError = error; });
    store.send(RemoteAction::up, {.to = kKitchen.id});
    store.connect(kBedroom);
    h.idle();
    EXPECT_EQ(bridge.starts, starts);
    EXPECT_FALSE(appsError.empty());
}

}  // namespace
}  // namespace orvel::test

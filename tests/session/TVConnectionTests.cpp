// The session's connection to its TV through the helper, where the helper is found, and the
// store itself.

#include "session/AppStore.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "SessionHarness.hpp"
#include "platform/FileCredentialStore.hpp"
#include "session/BridgeLocation.hpp"

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

// The store itself: observers hear of real changes once per burst, nothing pending keeps it
// alive, and the list of every TV.
using AppStoreTest = TVConnectionTest;

TEST_F(AppStoreTest, ObserversHearOfEachBurstOfRealChangesOnce) {
    int calls = 0;
    auto subscription = store.observe([&] { ++calls; });
    const json event = {{"event", "state"}, {"device", kKitchen.id}, {"title", "A"}};
    bridge.emit(event);
    bridge.emit({{"event", "state"}, {"device", kLiving.id}});
    h.idle();
    EXPECT_EQ(calls, 1);
    bridge.emit(event);  // identical: the record stays as it was
    h.loop.advance(1);
    EXPECT_EQ(calls, 1);
    subscription.reset();
    store.setMediaKeys(false);
    h.idle();
    EXPECT_EQ(calls, 1);
}

TEST_F(AppStoreTest, ContinuationsOfADestroyedStoreDoNothing) {
    h.connect(kBedroom, {{"error", "busy"}});  // a reconnection is scheduled
    store.connect(kLiving);                    // and a credential result is on its way
    std::weak_ptr<AppStore> weak = h.store;
    h.store.reset();
    EXPECT_TRUE(weak.expired()) << "nothing pending keeps the store alive";
    h.idle();  // under the sanitizers, any touch of the dead store fails here
    h.loop.advance(120);
}

TEST(AppStore, AllDevicesListsSavedTVsFirstAndEachOnce) {
    SessionHarness h(json{{"pairedDevices", savedList({kLiving})}, {"lastDevice", "sim:gone"}});
    h.make();
    EXPECT_EQ(h.store->tvKind(), "TV");
    h.store->start();
    h.store->scan();
    const TVDevice found("sim:living-room", "Renamed", {});
    h.bridge->reply("scan", {{"devices", {kBedroom.stored(), found.stored()}}});
    EXPECT_EQ(h.store->allDevices(), (std::vector<TVDevice>{kLiving, kBedroom}));
    h.store->connect(kLiving);
    EXPECT_EQ(h.store->tvKind(), "Apple TV");
}

using BridgeLocation::Command;

// Where the helper is found, or why it is missing.
void makeProgram(const std::string& path, mode_t mode = 0755) {
    ScratchDir::write(path, "#!/bin/sh\n");
    ::chmod(path.c_str(), mode);
}

TEST(BridgeLocation, BesideTheProgramThenInstalledThenTheDevelopmentScript) {
    ScratchDir dir;
    const std::string bin = dir / "bin";
    BridgeLocation::Inputs inputs{bin, "/usr/bin/python3", "/src/bridge.py"};
    std::filesystem::create_directories(bin);

    EXPECT_EQ(BridgeLocation::locate(inputs), (std::variant<Command, std::string>(Command{
                                                  "/usr/bin/python3", {"-u", "/src/bridge.py"}})));

    makeProgram(dir / "libexec/orvel-remote/OrvelBridge");
    EXPECT_EQ(BridgeLocation::locate(inputs), (std::variant<Command, std::string>(Command{
                                                  dir / "libexec/orvel-remote/OrvelBridge", {}})));

    makeProgram(bin + "/OrvelBridge", 0644);  // not executable: passed over
    EXPECT_EQ(std::get<Command>(BridgeLocation::locate(inputs)).executable,
              dir / "libexec/orvel-remote/OrvelBridge");
    ::chmod((bin + "/OrvelBridge").c_str(), 0755);
    EXPECT_EQ(std::get<Command>(BridgeLocation::locate(inputs)).executable, bin + "/OrvelBridge");
}

TEST(BridgeLocation, WithoutHelperOrBothVariablesItIsMissing) {
    const std::string missing = "The TV helper is missing. Build the app with Scripts/build-app.";
    for (const auto& inputs : {BridgeLocation::Inputs{"/nonexistent", std::nullopt, std::nullopt},
                               BridgeLocation::Inputs{"", "/usr/bin/python3", std::nullopt},
                               BridgeLocation::Inputs{"", std::nullopt, "/src/bridge.py"},
                               BridgeLocation::Inputs{"", "", "/src/bridge.py"}}) {
        EXPECT_EQ(BridgeLocation::locate(inputs), (std::variant<Command, std::string>(missing)));
    }
}

}  // namespace
}  // namespace orvel::test

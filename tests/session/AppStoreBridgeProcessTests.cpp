// AppStore against the real OrvelBridge child serving the built-in simulated household, with
// the settings and credentials in a scratch folder. Real events are waited for with bounded
// real-time waits; reconnection delays pass on the virtual clock.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "../support/ChildProcesses.hpp"
#include "../support/ScopedEnvironment.hpp"
#include "SessionHarness.hpp"
#include "SimBridge.hpp"
#include "session/BridgeClient.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

class AppStoreBridgeProcess : public ::testing::Test {
protected:
    AppStoreBridgeProcess() {
        environment.set("HOME", h.dir.path());
        environment.set("XDG_CONFIG_HOME", h.dir / "config");
        environment.set("XDG_DATA_HOME", h.dir / "data");
        environment.set("ORVEL_SIMULATE", "1");  // never a real TV
    }

    // A store whose bridge is looked for in `bridgeDirectory` only.
    AppStore& make(const json& stored, const std::string& bridgeDirectory) {
        testing::ScratchDir::write(h.defaultsPath, stored.dump());
        h.defaults = std::make_unique<Defaults>(h.defaultsPath);
        auto bridge = std::make_unique<BridgeClient>(h.loop, [bridgeDirectory] {
            return BridgeLocation::Inputs{bridgeDirectory, std::nullopt, std::nullopt};
        });
        bridge_ = bridge.get();
        h.store = AppStore::create({.loop = h.loop,
                                    .defaults = *h.defaults,
                                    .credentials = h.credentials,
                                    .login = h.login,
                                    .bridge = std::move(bridge)});
        return *h.store;
    }
    bool waitFor(const std::function<bool(const AppState&)>& done) {
        return h.loop.runUntil([&] { return done(h.state()); }, 10.0);
    }
    void finish() {
        h.store->shutdown();
        h.loop.advance(5);  // the stopped child's teardown timers
        h.store.reset();
    }

    static std::vector<pid_t> helpers() { return childrenNamed(::getpid(), "OrvelBridge"); }

    ScopedEnvironment environment;
    SessionHarness h;
    BridgeClient* bridge_ = nullptr;  // make()'s, owned by the store
};

#ifdef ORVEL_BRIDGE_DIR  // set by the build once it builds the bridge
TEST_F(AppStoreBridgeProcess, ConnectsAtLaunchAndComesBackAfterTheHelperIsKilled) {
    auto& store = make({{"pairedDevices", savedList({kBedroom})}, {"lastDevice", kBedroom.id}},
                       ORVEL_BRIDGE_DIR);
    store.start();
    ASSERT_TRUE(waitFor([&](const AppState& s) {
        return s.connected && s.statuses.contains(kBedroom.id) && s.devices.size() == 3;
    }));
    EXPECT_EQ(h.state().power, "On");
    EXPECT_FALSE(h.state().capabilities.empty());

    auto running = helpers();
    ASSERT_EQ(running.size(), 1u);
    ::kill(running[0], SIGKILL);
    ASSERT_TRUE(waitFor([](const AppState& s) { return !s.error.empty(); }));
    EXPECT_EQ(h.state().error, "The TV connection helper stopped. Reconnect to try again.");
    EXPECT_FALSE(h.state().connected);

    h.loop.advance(4.9);
    EXPECT_TRUE(helpers().empty()) << "no restart before the delay";
    h.loop.advance(0.1);
    ASSERT_TRUE(waitFor([](const AppState& s) { return s.connected; }));
    EXPECT_EQ(h.state().error, "");
    EXPECT_EQ(helpers().size(), 1u);
    finish();
    EXPECT_TRUE(h.loop.runUntil([] { return helpers().empty(); }, 10.0));
}

TEST_F(AppStoreBridgeProcess, PairsLivingRoomWatchesKitchenAndFollowsItWhenItPlays) {
    // Kitchen was paired in an earlier run; Living Room is new.
    h.credentials.save(kKitchen.id, pairedCredentials(kKitchen.id));
    auto& store = make({{"pairedDevices", savedList({kKitchen})}}, ORVEL_BRIDGE_DIR);
    store.start();
    ASSERT_TRUE(waitFor([&](const AppState& s) {
        return s.devices.size() == 3 && s.statuses.contains(kKitchen.id);
    })) << "Kitchen is watched once the helper is ready";

    store.pair(kLiving);
    for (const char* protocol : {"AirPlay", "Companion"}) {
        ASSERT_TRUE(waitFor([&](const AppState& s) {
            return s.pairingProtocol == protocol && !s.pairingBusy;
        })) << protocol;
        store.setPairingPIN("1234");
        store.submitPIN();
    }
    ASSERT_TRUE(waitFor([&](const AppState& s) {
        return !s.pairingDevice && s.connected && s.selectedID == kLiving.id;
    })) << h.state().error;
    EXPECT_EQ(h.state().error, "");
    EXPECT_EQ(h.storedDefaults()["pairedDevices"], savedList({kKitchen, kLiving}));
    EXPECT_EQ(h.credentials.contents()[kLiving.id], pairedCredentials(kLiving.id));

    // Someone starts playing on the Kitchen TV.
    for (const json& command :
         {json{{"action", "launchApp"}, {"app", "netflix"}}, json{{"action", "play"}}}) {
        json fields = command;
        fields["device"] = kKitchen.id;
        bridge_->request("command", fields, AppStore::kCommandTimeout, {});
    }
    ASSERT_TRUE(waitFor([&](const AppState& s) {
        auto kitchen = s.statuses.find(kKitchen.id);
        return kitchen != s.statuses.end() && kitchen->second.playing;
    }));
    ASSERT_TRUE(store.mediaKeyTarget());
    EXPECT_EQ(store.mediaKeyTarget()->id, kKitchen.id);
    EXPECT_EQ(h.state().selectedID, kLiving.id) << "media keys do not move the remote";

    store.followPlayback();
    ASSERT_TRUE(waitFor([&](const AppState& s) {
        return s.selectedID == kKitchen.id && s.connected && s.playing;
    })) << h.state().error;
    EXPECT_EQ(h.storedDefaults()["lastDevice"], kKitchen.id);
    finish();
}
#endif

TEST_F(AppStoreBridgeProcess, WithoutAHelperTheLaunchSaysSo) {
    make(json::object(), h.dir.path());
    h.store->start();
    EXPECT_EQ(h.state().error, "The TV helper is missing. Build the app with Scripts/build-app.");
    h.store->connect(kBedroom);
    EXPECT_EQ(h.state().error, "The TV helper is missing. Build the app with Scripts/build-app.");
    EXPECT_FALSE(h.state().connecting);
}

}  // namespace
}  // namespace orvel::test

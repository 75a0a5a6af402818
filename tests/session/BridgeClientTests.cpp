// BridgeClient: AppStore against the real OrvelBridge child serving the built-in simulated household, with
// the settings and credentials in a scratch folder. Real events are waited for with bounded
// real-time waits.

#include <gtest/gtest.h>

#include "../support/ScopedEnvironment.hpp"
#include "SessionHarness.hpp"
#include "SimBridge.hpp"
#include "session/BridgeClient.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

class BridgeClientProcess : public ::testing::Test {
protected:
    BridgeClientProcess() {
        environment.set("HOME", h.dir.path());
        environment.set("XDG_CONFIG_HOME", h.dir / "config");
        environment.set("XDG_DATA_HOME", h.dir / "data");
        environment.set("ORVEL_SIMULATE", "1");  // never a real TV
    }

    // A store whose bridge is looked for in `bridgeDirectory` only.
    AppStore& make(const json& stored, const std::string& bridgeDirectory) {
        test::ScratchDir::write(h.defaultsPath, stored.dump());
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

    ScopedEnvironment environment;
    SessionHarness h;
    BridgeClient* bridge_ = nullptr;  // make()'s, owned by the store
};

#ifdef ORVEL_BRIDGE_DIR  // set by the build once it builds the bridge
TEST_F(BridgeClientProcess, PairsLivingRoomWatchesKitchenAndFollowsItWhenItPlays) {
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

TEST_F(BridgeClientProcess, WithoutAHelperTheLaunchSaysSo) {
    make(json::object(), h.dir.path());
    h.store->start();
    EXPECT_EQ(h.state().error, "The TV helper is missing. Build the app with Scripts/build-app.");
    h.store->connect(kBedroom);
    EXPECT_EQ(h.state().error, "The TV helper is missing. Build the app with Scripts/build-app.");
    EXPECT_FALSE(h.state().connecting);
}

}  // namespace
}  // namespace orvel::test

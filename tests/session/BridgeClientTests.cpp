// AppStore against the real OrvelBridge child, with settings and credentials in a scratch
// folder; real events are waited for with bounded real-time waits.

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
        return h.makeWith(std::make_unique<BridgeClient>(h.loop, [bridgeDirectory] {
            return BridgeLocation::Inputs{bridgeDirectory, std::nullopt, std::nullopt};
        }));
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
};

#ifdef ORVEL_BRIDGE_DIR  // set by the build once it builds the bridge
TEST_F(BridgeClientProcess, PairsLivingRoomAndWatchesKitchen) {
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
    EXPECT_EQ(h.credentials.contents()[kLiving.id], pairedCredentials(kLiving.id));
    bool played = false;
    store.send(RemoteAction::play, {.to = kKitchen.id}, [&](bool accepted) { played = accepted; });
    ASSERT_TRUE(waitFor([&](const AppState&) { return played; }));
    finish();
}
#endif

TEST_F(BridgeClientProcess, WithoutAHelperTheLaunchSaysSo) {
    make(json::object(), h.dir.path());
    h.store->start();
    EXPECT_EQ(h.state().error, "The TV helper is missing. Build the app with Scripts/build-app.");
}

}  // namespace
}  // namespace orvel::test

// AppStore against the simulated household in-process, on the virtual clock.

#include <gtest/gtest.h>

#include "SessionHarness.hpp"
#include "SimBridge.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

CredentialSet pairedCredentials(const std::string& id) {
    for (const auto& tv : Household::builtIn().tvs) {
        if (tv.id != id) continue;
        CredentialSet set;
        for (const auto& protocol : tv.protocols) {
            set[protocol] = SimBackend::credentialFor(tv, protocol);
        }
        return set;
    }
    return {};
}

TEST(AppStoreSim, AnAppleTVConnectsOnlyWithTheCredentialsPairingGave) {
    SessionHarness h(json{{"pairedDevices", savedList({kLiving})}, {"lastDevice", kLiving.id}});
    auto right = pairedCredentials(kLiving.id);
    auto wrong = right;
    wrong["Companion"] = "stale";
    h.credentials.save(kLiving.id, wrong);
    auto owned = std::make_unique<SimBridge>(h.loop);
    auto& bridge = *owned;
    auto& store = h.makeWith(std::move(owned));

    store.start();
    h.loop.runUntilIdle();
    EXPECT_EQ(h.state().devices.size(), 3u);
    EXPECT_FALSE(h.state().connected);
    EXPECT_FALSE(h.state().error.empty()) << "the TV's refusal is shown as it stands";

    h.credentials.save(kLiving.id, right);
    h.loop.advance(5);
    EXPECT_TRUE(h.state().connected);
    EXPECT_EQ(h.state().error, "");
    EXPECT_EQ(h.state().power, "On");
    EXPECT_TRUE(store.can(RemoteAction::select));
    EXPECT_EQ(store.controlSummary(kLiving)["connected"], true);

    bridge.crash();
    EXPECT_EQ(h.state().error, "The TV connection helper stopped. Reconnect to try again.");
    h.loop.advance(5);
    EXPECT_EQ(bridge.starts, 2);
    EXPECT_TRUE(h.state().connected);
}

TEST(AppStoreSim, AWrongPinIsRefusedWithASentenceAndTheRightOnePairsBothProtocols) {
    SessionHarness h;
    h.makeWith(std::make_unique<SimBridge>(h.loop));
    auto& store = *h.store;
    store.start();
    h.loop.runUntilIdle();

    auto typePin = [&](const std::string& pin) {
        store.setPairingPIN(pin);
        store.submitPIN();
        h.loop.runUntilIdle();
    };
    store.pair(kLiving);
    h.loop.runUntilIdle();
    EXPECT_EQ(h.state().pairingProtocol, "AirPlay");
    typePin("4321");
    EXPECT_EQ(h.state().error,
              "The PIN does not match the one shown on Living Room. Start pairing again.");
    EXPECT_FALSE(h.state().pairingDevice);
    EXPECT_TRUE(h.credentials.contents().empty());

    store.pair(kLiving);
    h.loop.runUntilIdle();
    typePin("1234");
    EXPECT_EQ(h.state().pairingProtocol, "Companion");
    typePin("1234");
    EXPECT_EQ(h.state().error, "");
    EXPECT_EQ(h.credentials.contents()[kLiving.id], pairedCredentials(kLiving.id));
    EXPECT_TRUE(h.state().connected) << "the bridge took the credentials pairing gave";
    EXPECT_EQ(h.storedDefaults()["pairedDevices"], savedList({kLiving}));
}

}  // namespace
}  // namespace orvel::test

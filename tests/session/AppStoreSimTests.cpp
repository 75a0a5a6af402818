// AppStore against the simulated household in-process, on the virtual clock.

#include <gtest/gtest.h>

#include "SessionHarness.hpp"
#include "SimBridge.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

TEST(AppStoreSim, AnAppleTVConnectsOnlyWithTheCredentialsPairingGave) {
    SessionHarness h(json{{"pairedDevices", savedList({kLiving})}, {"lastDevice", kLiving.id}});
    auto wrong = pairedCredentials(kLiving.id);
    wrong["Companion"] = "stale";
    h.credentials.save(kLiving.id, wrong);
    auto& store = h.makeWith(std::make_unique<SimBridge>(h.loop));
    store.start();
    h.idle();
    EXPECT_EQ(h.state().devices.size(), 3u);
    EXPECT_FALSE(h.state().connected);
    EXPECT_FALSE(h.state().error.empty()) << "the TV's refusal is shown as it stands";

    // A wrong PIN ends the pairing with the TV's sentence; the right one pairs both protocols.
    h.credentials.remove(kLiving.id);
    auto typePin = [&](const std::string& pin) {
        store.setPairingPIN(pin);
        store.submitPIN();
        h.idle();
    };
    store.pair(kLiving);
    h.idle();
    EXPECT_EQ(h.state().pairingProtocol, "AirPlay");
    typePin("4321");
    EXPECT_EQ(h.state().error,
              "The PIN does not match the one shown on Living Room. Start pairing again.");
    EXPECT_FALSE(h.state().pairingDevice);
    EXPECT_TRUE(h.credentials.contents().empty());

    store.pair(kLiving);
    h.idle();
    typePin("1234");
    EXPECT_EQ(h.state().pairingProtocol, "Companion");
    typePin("1234");
    EXPECT_EQ(h.state().error, "");
    EXPECT_EQ(h.credentials.contents()[kLiving.id], pairedCredentials(kLiving.id));
    EXPECT_TRUE(h.state().connected) << "the bridge took the credentials pairing gave";
    EXPECT_EQ(h.state().power, "On");
    EXPECT_TRUE(store.can(RemoteAction::select));
    EXPECT_TRUE(h.state().statuses.at(kLiving.id).connected);
}

}  // namespace
}  // namespace orvel::test

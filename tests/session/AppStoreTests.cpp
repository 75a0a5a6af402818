// AppStore itself: observers hear of real changes once per burst, nothing pending keeps a
// store alive, and the list of every TV.

#include "session/AppStore.hpp"

#include <gtest/gtest.h>

#include "SessionHarness.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

struct AppStoreTest : SessionTest {
    AppStoreTest()
        : SessionTest({{"pairedDevices", savedList({kBedroom, kLiving})},
                       {"lastDevice", kBedroom.id},
                       {"followPlaying", false}}) {}
};

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
    store.start();
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

}  // namespace
}  // namespace orvel::test

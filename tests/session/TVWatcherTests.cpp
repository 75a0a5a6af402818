#include <gtest/gtest.h>

#include "SessionHarness.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

json stateEvent(const TVDevice& device, bool playing, json extra = json::object()) {
    extra["event"] = "state";
    extra["device"] = device.id;
    extra["playing"] = playing;
    return extra;
}

struct TVWatcherTest : SessionTest {
    explicit TVWatcherTest(std::initializer_list<TVDevice> saved = {kBedroom, kLiving, kKitchen})
        : SessionTest({{"pairedDevices", savedList(saved)}}) {
        h.credentials.save(kLiving.id, kLivingCredentials);
        h.credentials.save(kKitchen.id, {{"Companion", "k"}});
        bridge.start();
    }
    double nextWatch() { return h.untilNext("watch"); }

    // Bedroom connected and idle; Living Room and Kitchen watched and idle.
    void connectAndWatch() {
        h.connect(kBedroom);
        bridge.emit(stateEvent(kBedroom, false));
        ASSERT_EQ(bridge.count("watch"), 2u);
        ASSERT_TRUE(bridge.reply("watch"));
        ASSERT_TRUE(bridge.reply("watch"));
        bridge.emit(stateEvent(kLiving, false));
        bridge.emit(stateEvent(kKitchen, false));
        idle();
    }
    // The TVs of the "watch" requests from the `from`th request on.
    std::vector<std::string> watchedDevices(std::size_t from = 0) const {
        std::vector<std::string> ids;
        for (const auto& fields : bridge.sent("watch", from)) ids.push_back(fields["device"]);
        return ids;
    }
};

TEST_F(TVWatcherTest, EveryOtherSavedTVIsWatchedWithItsCredentials) {
    connectAndWatch();
    EXPECT_EQ(
        bridge.sent("watch"),
        (std::vector<json>{{{"device", kLiving.id}, {"credentials", kLivingCredentials}},
                           {{"device", kKitchen.id}, {"credentials", {{"Companion", "k"}}}}}));
    store.followPlayback();  // everyone is watched already
    idle();
    EXPECT_EQ(bridge.count("watch"), 2u);
}

struct TVWatcherBackoffTest : TVWatcherTest {
    TVWatcherBackoffTest() : TVWatcherTest({kKitchen}) {}
};

TEST_F(TVWatcherBackoffTest, FailedWatchesRetryAfter5To60SecondsAndAStatusResetsTheDelay) {
    bridge.emit({{"event", "ready"}});
    idle();
    ASSERT_EQ(bridge.count("watch"), 1u);
    for (double expected : {5, 10, 20, 40, 60, 60}) {
        // Any "error" counts, even one that is not text.
        ASSERT_TRUE(bridge.reply("watch", {{"error", expected == 20 ? json() : json("busy")}}));
        idle();
        EXPECT_EQ(nextWatch(), expected);
    }
    bridge.reply("watch");
    idle();
    EXPECT_EQ(nextWatch(), -1) << "a watch that was accepted waits for the TV's status";
    bridge.emit(stateEvent(kKitchen, false));
    bridge.emit({{"event", "disconnected"}, {"device", kKitchen.id}});
    EXPECT_FALSE(h.state().statuses.contains(kKitchen.id));
    EXPECT_EQ(nextWatch(), 5);
}

TEST_F(TVWatcherBackoffTest, MissingCredentialsOrAKeyringFailureAreRetriedToo) {
    h.credentials.remove(kKitchen.id);
    bridge.emit({{"event", "ready"}});
    idle();
    EXPECT_EQ(bridge.count("watch"), 0u) << "a TV that needs pairing is not watched bare";
    h.credentials.failWith(CredentialErrorCode::kLocked);
    h.loop.advance(5);
    EXPECT_EQ(bridge.count("watch"), 0u);
    h.credentials.failWith(std::nullopt);
    h.credentials.save(kKitchen.id, {{"Companion", "k"}});
    EXPECT_EQ(nextWatch(), 10);
    EXPECT_EQ(h.state().error, "") << "watching never shows an error";
}

TEST_F(TVWatcherTest, PlayingSinceIsTheStartOfTheCurrentStretch) {
    connectAndWatch();
    auto since = [&] { return h.state().statuses.at(kKitchen.id).playingSince; };
    const double start = h.loop.now();
    h.loop.advance(100);
    bridge.emit(stateEvent(kKitchen, true));
    h.loop.advance(30);
    bridge.emit(stateEvent(kKitchen, true, {{"title", "Next"}}));
    EXPECT_EQ(since(), start + 100);
    bridge.emit(stateEvent(kKitchen, false));
    EXPECT_EQ(since(), std::nullopt);
    h.loop.advance(20);
    bridge.emit(stateEvent(kKitchen, true));
    EXPECT_EQ(since(), start + 150);
}

// Which playing TV wins is the follow rules' to test; here: what the session feeds them.
TEST_F(TVWatcherTest, OpeningTheRemoteFollowsTheLatestPlaybackUnlessTheSelectedTVPlays) {
    EXPECT_EQ(store.mediaKeyTarget(), std::nullopt) << "nothing connected, nothing plays";
    connectAndWatch();
    bridge.emit(stateEvent(kBedroom, true));
    h.loop.advance(100);
    bridge.emit(stateEvent(kLiving, true));
    h.loop.advance(150);
    bridge.emit(stateEvent(kKitchen, true, {{"capabilities", {"play", "pause"}}}));
    store.followPlayback();
    idle();
    EXPECT_EQ(h.state().selectedID, kBedroom.id) << "the selected TV plays";
    bridge.emit(stateEvent(kBedroom, false));
    EXPECT_EQ(store.mediaKeyTarget(),
              (AppStore::MediaKeyTarget{kKitchen.id, {RemoteAction::play, RemoteAction::pause}}));
    const auto connects = bridge.count("connect");
    store.followPlayback();
    idle();
    EXPECT_EQ(h.state().selectedID, kKitchen.id);
    EXPECT_EQ(bridge.count("connect"), connects + 1);
    EXPECT_EQ(bridge.last().fields["device"], kKitchen.id);
}

TEST_F(TVWatcherTest, SwitchingFollowingOffDisconnectsEachWatchedTVOnce) {
    connectAndWatch();
    const auto before = bridge.requests.size();
    store.setFollowPlaying(false);
    idle();
    EXPECT_EQ(bridge.requests.size(), before + 2) << "disconnects only";
    EXPECT_EQ(bridge.sent("disconnect", before),
              (std::vector<json>{{{"device", kKitchen.id}}, {{"device", kLiving.id}}}));
    EXPECT_EQ(h.state().statuses.size(), 1u);
    bridge.emit({{"event", "disconnected"}, {"device", kLiving.id}});
    h.loop.advance(120);
    EXPECT_EQ(bridge.count("watch"), 2u) << "no retries while following is off";
}

TEST_F(TVWatcherTest, WhilePairingNothingIsWatchedOrFollowedAndAfterwardsWatchingResumes) {
    connectAndWatch();
    h.loop.advance(10);
    bridge.emit(stateEvent(kLiving, true));
    h.credentials.remove(kKitchen.id);
    store.pair(kKitchen);
    idle();
    ASSERT_EQ(bridge.last().op, "pairBegin");
    EXPECT_FALSE(h.state().statuses.contains(kKitchen.id));
    h.credentials.save(kKitchen.id, {{"Companion", "k"}});  // as from an earlier pairing
    store.followPlayback();
    h.loop.advance(120);
    EXPECT_EQ(h.state().selectedID, kBedroom.id);
    EXPECT_EQ(bridge.count("watch"), 2u);

    store.cancelPairing();
    idle();
    EXPECT_EQ(watchedDevices().back(), kKitchen.id);
}

TEST_F(TVWatcherTest, TheConnectedTVIsNotWatchedWhileItIsPairedOrForgotten) {
    connectAndWatch();
    h.connect(kLiving);
    h.credentials.save(kLiving.id, {{"AirPlay", "a"}});  // Companion is paired again
    const auto pairing = bridge.requests.size();
    store.pair(kLiving);
    idle();
    EXPECT_EQ(bridge.last().op, "pairBegin");
    EXPECT_EQ(watchedDevices(pairing), std::vector<std::string>{});
    store.cancelPairing();
    idle();

    h.connect(kKitchen);
    const auto forgetting = bridge.requests.size();
    store.forget(kKitchen);
    idle();
    for (const auto& id : watchedDevices(forgetting)) EXPECT_NE(id, kKitchen.id);
    EXPECT_FALSE(h.state().statuses.contains(kKitchen.id));
    EXPECT_EQ(h.state().savedDevices, (std::vector<TVDevice>{kBedroom, kLiving}));
}

TEST_F(TVWatcherTest, AHelperThatDiesDuringPairingIsStillReportedAndReconnected) {
    connectAndWatch();
    h.credentials.remove(kKitchen.id);
    store.pair(kKitchen);
    idle();
    ASSERT_EQ(bridge.last().op, "pairBegin");
    const auto connects = bridge.count("connect");
    bridge.die("The TV connection helper stopped. Reconnect to try again.");
    idle();
    EXPECT_FALSE(h.state().pairingDevice);
    EXPECT_EQ(h.state().error, "The TV connection helper stopped. Reconnect to try again.");
    h.loop.advance(5);
    EXPECT_EQ(bridge.count("connect"), connects + 1);
}

}  // namespace
}  // namespace orvel::test

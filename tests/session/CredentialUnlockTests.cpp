// Which session work may make a locked keyring ask the user to unlock it: only what the user
// asked for, never the start, the watches or the retries.

#include <functional>

#include <gtest/gtest.h>

#include "SessionHarness.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

json household() {
    return {{"pairedDevices", savedList({kLiving, kKitchen})},
            {"lastDevice", kLiving.id},
            {"followPlaying", true}};
}

TEST(CredentialUnlock, OnlyWhatTheUserAskedForUnlocksTheKeyring) {
    struct Case {
        const char* what;
        std::function<void(SessionHarness&)> act;
        int unlocks;
    };
    const Case cases[] = {
        {"the start, its connection to the last TV and the watch retries",
         [](SessionHarness& h) {
             h.bridge->emit({{"event", "ready"}});
             h.idle();
             h.loop.advance(300);
         },
         0},
        {"a TV the user chose", [](SessionHarness& h) { h.store->connect(kKitchen); }, 1},
        {"pairing", [](SessionHarness& h) { h.store->pair(kKitchen); }, 1},
        {"forgetting", [](SessionHarness& h) { h.store->forget(kKitchen); }, 1},
        {"a command for another TV",
         [](SessionHarness& h) { h.store->send(RemoteAction::up, {.to = kKitchen.id}); }, 1},
        {"the apps of a TV", [](SessionHarness& h) { h.store->apps(kKitchen, {}); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SessionHarness h(household());
        h.credentials.save(kLiving.id, kLivingCredentials);
        h.credentials.save(kKitchen.id, {{"Companion", "k"}});
        h.make();
        h.credentials.becomeLocked(/*dismissed=*/true);
        h.store->start();
        c.act(h);
        h.idle();
        EXPECT_EQ(h.credentials.unlockRequests(), c.unlocks);
    }
}

TEST(CredentialUnlock, RetriesOfAConnectionTheUserAskedForDoNotAskAgain) {
    SessionHarness h(household());
    h.credentials.save(kKitchen.id, {{"Companion", "k"}});
    h.make();
    h.credentials.becomeLocked();
    h.store->connect(kKitchen);
    h.idle();
    ASSERT_TRUE(h.bridge->reply("connect", {{"error", "The TV is asleep."}}));
    h.idle();
    EXPECT_EQ(h.state().error, "The TV is asleep.");
    h.credentials.becomeLocked();  // locked again while the retry waits
    h.loop.advance(SessionContext::kFirstRetryDelay);
    h.idle();
    EXPECT_EQ(h.state().error, "Pairing credentials could not be accessed in the keyring (7).")
        << "the retry did not run";
    EXPECT_EQ(h.credentials.unlockRequests(), 1);
}

TEST(CredentialUnlock, ShutdownFailsTheCredentialCallsStillToCome) {
    SessionHarness h(household());
    h.credentials.save(kKitchen.id, {{"Companion", "k"}});
    h.make();
    h.store->shutdown();
    EXPECT_EQ(h.credentials.load(kKitchen.id).error->code, CredentialErrorCode::kUnavailable);
}

}  // namespace
}  // namespace orvel::test

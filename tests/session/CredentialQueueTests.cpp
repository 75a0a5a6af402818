// The credential queue: its calls run in order on the keychain's thread and answer on the loop,
// and only the session work the user asked for may make a locked keyring ask to be unlocked,
// never the start, the watches or the retries.

#include "session/CredentialQueue.hpp"

#include <functional>

#include <gtest/gtest.h>

#include "../support/ProcessInspection.hpp"
#include "SessionHarness.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

// Notes the thread of every load.
class NotingStore final : public CredentialStore {
public:
    CredentialLoad load(const std::string& id) override {
        thread = currentThreadName();
        return inner.load(id);
    }
    std::optional<CredentialError> save(const std::string& id, const CredentialSet& set) override {
        return inner.save(id, set);
    }
    std::optional<CredentialError> remove(const std::string& id) override {
        return inner.remove(id);
    }
    std::string kind() const override { return "noting"; }
    std::string description() const override { return ""; }

    MemoryCredentialStore inner;
    std::string thread;  // written by the queue, read after the results came back
};

TEST(CredentialQueue, CallsRunInOrderOnTheKeychainQueueAndAnswerOnTheLoop) {
    ManualLoop loop;
    NotingStore store;
    CredentialQueue keychain(loop, store);
    std::vector<std::string> events;
    const auto background = CredentialQueue::Initiator::kBackground;
    keychain.save("tv", {{"Companion", "c"}}, background,
                  [&](auto error) { events.push_back(error ? "save failed" : "saved"); });
    keychain.load("tv", background, [&](const CredentialLoad& loaded) {
        EXPECT_TRUE(loop.isLoopThread());
        const bool same = loaded.credentials == CredentialSet{{"Companion", "c"}};
        events.push_back(same ? "loaded" : "loaded something else");
    });
    keychain.remove("tv", background,
                    [&](auto error) { events.push_back(error ? "failed" : "removed"); });
    ASSERT_TRUE(loop.runUntil([&] { return events.size() == 3; }));
    EXPECT_EQ(events, (std::vector<std::string>{"saved", "loaded", "removed"}));
    EXPECT_EQ(store.thread, "orvel.keychain");  // the label, shortened to the kernel's 15 bytes
}

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

#include "session/CredentialQueue.hpp"

#include <gtest/gtest.h>

#include "../support/ProcessInspection.hpp"
#include "platform/ManualLoop.hpp"
#include "platform/MemoryCredentialStore.hpp"

namespace orvel {
namespace {

// Notes the thread of every load.
class NotingStore final : public CredentialStore {
public:
    CredentialLoad load(const std::string& id) override {
        thread = test::currentThreadName();
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

}  // namespace
}  // namespace orvel

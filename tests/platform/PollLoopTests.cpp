#include "platform/PollLoop.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../support/LoopThread.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {
namespace {

// Every test runs the real loop under a guard that ends it after a bounded wait.
class PollLoopTest : public ::testing::Test {
protected:
    void runGuarded() { EXPECT_TRUE(test::runGuarded(loop_)) << "the loop did not finish"; }
    PollLoop loop_;
};

TEST_F(PollLoopTest, QuitReturnsAfterTheCurrentItemFromAnyThreadAndLeavesTheRest) {
    std::vector<int> order;
    loop_.post([&] {
        order.push_back(1);
        loop_.quit();
    });
    loop_.post([&] { order.push_back(2); });
    runGuarded();
    EXPECT_EQ(order, (std::vector<int>{1}));
    loop_.post([&] {
        order.push_back(3);
        loop_.quit();
    });
    runGuarded();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    // From another thread, quit wakes an idle loop.
    std::thread quitter;
    loop_.post([&] { quitter = std::thread([&] { loop_.quit(); }); });
    runGuarded();
    quitter.join();
}

TEST_F(PollLoopTest, WatchReportsDataAndHangUpUntilCancelled) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);
    std::string received;
    int calls = 0;
    std::optional<CancelHandle> watch;
    watch = loop_.watchReadable(readEnd.get(), [&] {
        ++calls;
        char buffer[16];
        ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
            if (received == "ab") writeEnd.reset();  // the next call sees the hang-up
            return;
        }
        // End of file: stop watching from inside the callback, then make the descriptor
        // readable again to show that the watch is gone.
        EXPECT_EQ(n, 0);
        watch.reset();
        loop_.postAfter(0.05, [&] { loop_.quit(); }).detach();
    });
    std::thread writer([fd = writeEnd.get()] { ASSERT_EQ(::write(fd, "ab", 2), 2); });
    writer.join();
    runGuarded();
    EXPECT_EQ(received, "ab");
    EXPECT_EQ(calls, 2);
}

TEST_F(PollLoopTest, WatchReportsWritabilityAndBothDirectionsAtOnce) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds), 0);
    UniqueFd mine(fds[0]);
    UniqueFd peer(fds[1]);
    std::vector<FdEvents> writeOnly;
    std::vector<FdEvents> both;
    int cancelledCalls = 0;
    CancelHandle cancelled;
    // Both writable watches are polled in the same round; the first to run cancels the second.
    CancelHandle writer = loop_.watch(mine.get(), FdEvents::writable, [&](FdEvents ready) {
        writeOnly.push_back(ready);
        cancelled.cancel();
        if (writeOnly.size() == 1) {
            // Make `mine` readable too; the watch of both directions then sees both.
            ASSERT_EQ(::write(peer.get(), "x", 1), 1);
        }
    });
    cancelled = loop_.watch(mine.get(), FdEvents::writable, [&](FdEvents) { ++cancelledCalls; });
    CancelHandle reader =
        loop_.watch(mine.get(), FdEvents::readable | FdEvents::writable, [&](FdEvents ready) {
            both.push_back(ready);
            if (ready == (FdEvents::readable | FdEvents::writable)) loop_.quit();
        });
    runGuarded();
    EXPECT_EQ(cancelledCalls, 0);
    ASSERT_FALSE(writeOnly.empty());
    EXPECT_EQ(writeOnly.front(), FdEvents::writable);
    ASSERT_FALSE(both.empty());
    EXPECT_EQ(both.front(), FdEvents::writable);
    EXPECT_EQ(both.back(), FdEvents::readable | FdEvents::writable);
}

TEST(PollLoop, WatchesOutliveTheLoopThatReleasesTheirCallbacks) {
    auto resource = std::make_shared<int>(0);
    CancelHandle watch;
    {
        PollLoop loop;
        watch = loop.watchReadable(0, [resource] {});
    }
    EXPECT_EQ(resource.use_count(), 1);
    watch.cancel();
}

}  // namespace
}  // namespace orvel

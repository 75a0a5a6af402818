// The two MainLoops: the test loop on its virtual clock and the headless programs' real loop.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../support/LoopThread.hpp"
#include "../support/MainLoopContract.hpp"
#include "platform/ManualLoop.hpp"
#include "platform/PollLoop.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel::test {
namespace {

struct VirtualClock {
    static constexpr double kUnit = 1.0;
    ManualLoop loop{0};
    void runFor(double seconds) { loop.advance(seconds); }
    bool runUntil(const std::function<bool()>& done) { return loop.runUntil(done); }
};

using Clocks = ::testing::Types<VirtualClock, RealClockFor<PollLoop>>;
class ClockNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return std::is_same_v<T, VirtualClock> ? "ManualLoop" : "PollLoop";
    }
};
INSTANTIATE_TYPED_TEST_SUITE_P(Loops, MainLoopContract, Clocks, ClockNames);

struct Log {
    ManualLoop& loop;
    std::vector<std::string> entries;
    // Records the name together with the virtual time at which it ran.
    std::function<void()> note(const std::string& name) {
        return [this, name] {
            entries.push_back(name + "@" + std::to_string(static_cast<int>(loop.now() * 10)));
        };
    }
};

TEST(ManualLoop, AdvanceRunsTimersInTimeThenScheduleOrderWithTheirPostsFirst) {
    ManualLoop loop(0);
    Log log{loop, {}};
    std::vector<CancelHandle> keep;
    keep.push_back(loop.postAfter(2, log.note("a")));
    keep.push_back(loop.postAfter(1, [&] {
        log.note("b")();
        loop.post(log.note("b-post"));
    }));
    keep.push_back(loop.postAfter(1, [&] {
        log.note("c")();
        keep.push_back(loop.postAfter(0, log.note("c-now")));
        keep.push_back(loop.postAfter(0.5, log.note("c-later")));
    }));
    keep.push_back(loop.postAfter(-5, log.note("negative")));
    loop.post(log.note("posted"));

    loop.advance(3);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"posted@0", "negative@0", "b@10", "b-post@10",
                                                     "c@10", "c-now@10", "c-later@15", "a@20"}));
    EXPECT_DOUBLE_EQ(loop.now(), 3);
}

TEST(ManualLoop, AdvanceStopsAtItsEndAndRunUntilIdleLeavesTimeAlone) {
    ManualLoop loop;
    int fired = 0;
    auto now = loop.postAfter(0, [&] { ++fired; });
    auto atEnd = loop.postAfter(2, [&] { ++fired; });
    auto beyond = loop.postAfter(2.5, [&] { ++fired; });
    loop.runUntilIdle();
    EXPECT_EQ(fired, 1);
    EXPECT_DOUBLE_EQ(loop.now(), 1000);
    loop.advance(1);
    EXPECT_EQ(fired, 1);
    loop.advance(1);
    EXPECT_EQ(fired, 2);
    EXPECT_TRUE(beyond.pending());
    EXPECT_FALSE(atEnd.pending());
    loop.runUntilIdle();
    EXPECT_EQ(fired, 2);
    EXPECT_FALSE(loop.runUntil([] { return false; }, 0.05)) << "gives up after its time-out";
    EXPECT_DOUBLE_EQ(loop.now(), 1002);
}

TEST(ManualLoop, ManyCancelledTimersReleaseTheirClosuresAndKeepOrder) {
    ManualLoop loop(0);
    auto resource = std::make_shared<int>(0);
    std::vector<int> order;
    std::vector<CancelHandle> live;
    for (int i = 0; i < 1000; ++i) {
        // Like request time-outs: scheduled far ahead, almost always cancelled.
        loop.postAfter(100 + i % 7, [resource] {}).cancel();
        if (i % 100 == 0) {
            int at = (i * 37) % 1000;
            live.push_back(loop.postAfter(at, [&order, at] { order.push_back(at); }));
        }
    }
    EXPECT_LT(resource.use_count(), 200);
    loop.advance(2000);
    EXPECT_EQ(resource.use_count(), 1);
    EXPECT_EQ(order.size(), 10u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

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
}  // namespace orvel::test

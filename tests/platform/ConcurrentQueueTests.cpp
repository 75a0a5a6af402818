#include "platform/ConcurrentQueue.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "../support/Waiting.hpp"

namespace orvel {
namespace {

// Posts `count` items that report their start, then block behind `gate`.
void postBlocking(ConcurrentQueue& queue, int count, test::Counter& started, test::Gate& gate,
                  test::Counter& finished) {
    for (int i = 0; i < count; ++i) {
        queue.async([&] {
            started.add();
            EXPECT_TRUE(gate.pass());
            finished.add();
        });
    }
}

TEST(ConcurrentQueue, ReusesIdleWorkers) {
    ConcurrentQueue queue("reuse", 8);
    for (int round = 0; round < 10; ++round) {
        test::Counter done;
        queue.async([&] { done.add(); });
        ASSERT_TRUE(done.waitFor(1));
        ASSERT_TRUE(queue.waitIdle(10));
    }
    EXPECT_EQ(queue.threadCount(), 1u);

    // Two idle workers take two blocking items at once without a third thread.
    test::Counter started;
    test::Counter finished;
    test::Gate first;
    postBlocking(queue, 2, started, first, finished);
    ASSERT_TRUE(started.waitFor(2));
    first.open();
    ASSERT_TRUE(finished.waitFor(2));
    ASSERT_TRUE(queue.waitIdle(10));
    test::Gate second;
    postBlocking(queue, 2, started, second, finished);
    EXPECT_TRUE(started.waitFor(4));
    second.open();
    ASSERT_TRUE(finished.waitFor(4));
    EXPECT_EQ(queue.threadCount(), 2u);
}

TEST(ConcurrentQueue, StartsAThreadPerBlockedItemUpToTheCapThatEndsWhenIdle) {
    ConcurrentQueue queue("retire", 3, 0.05);
    test::Counter started;
    test::Counter finished;
    test::Gate gate;
    postBlocking(queue, 5, started, gate, finished);
    ASSERT_TRUE(started.waitFor(3));
    EXPECT_EQ(queue.threadCount(), 3u);
    gate.open();
    ASSERT_TRUE(finished.waitFor(5));
    EXPECT_EQ(started.value(), 5);
    EXPECT_TRUE(test::eventually([&] { return queue.threadCount() == 0; }));
    EXPECT_TRUE(queue.waitIdle(10));

    // Work after the workers ended still runs, on a fresh worker.
    test::Gate later;
    postBlocking(queue, 2, started, later, finished);
    EXPECT_TRUE(started.waitFor(7));
    EXPECT_EQ(queue.threadCount(), 2u);
    later.open();
    EXPECT_TRUE(finished.waitFor(7));
}

TEST(ConcurrentQueue, QueueReleasedByItsOwnWorkItemFinishesWithoutDeadlock) {
    auto queue = std::make_shared<ConcurrentQueue>("self", 2);
    test::Gate gate;
    test::Counter blockersDone;
    test::Counter after;
    // As when a session's last owner is the read loop that ends on its reader queue; a second
    // blocker gives the releasing worker a sibling to join.
    for (int i = 0; i < 2; ++i) {
        queue->async([&, keep = i ? queue : nullptr] {
            EXPECT_TRUE(gate.pass());
            blockersDone.add();
        });
    }
    for (int i = 0; i < 10; ++i) queue->async([&after] { after.add(); });
    std::weak_ptr<ConcurrentQueue> weak = queue;
    queue.reset();
    EXPECT_FALSE(weak.expired());
    gate.open();
    EXPECT_TRUE(blockersDone.waitFor(2));
    EXPECT_TRUE(after.waitFor(10));
    EXPECT_TRUE(test::eventually([&] { return weak.expired(); }));
}

}  // namespace
}  // namespace orvel

#include "platform/ConcurrentQueue.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "../support/Waiting.hpp"

namespace orvel {
namespace {

// Items that report their start, then block behind the gate of their batch.
struct Blockers {
    test::Counter started;
    test::Counter finished;
    int posted = 0;
    // Posts `count` items behind `gate`; true once as many have started as `running` says.
    bool post(ConcurrentQueue& queue, int count, test::Gate& gate, int running) {
        for (int i = 0; i < count; ++i, ++posted) {
            queue.async([this, &gate] {
                started.add();
                EXPECT_TRUE(gate.pass());
                finished.add();
            });
        }
        return started.waitFor(posted - count + running);
    }
    bool finish(test::Gate& gate) {
        gate.open();
        return finished.waitFor(posted);
    }
};

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
    Blockers blockers;
    test::Gate first;
    test::Gate second;
    ASSERT_TRUE(blockers.post(queue, 2, first, 2));
    ASSERT_TRUE(blockers.finish(first));
    ASSERT_TRUE(queue.waitIdle(10));
    EXPECT_TRUE(blockers.post(queue, 2, second, 2));
    ASSERT_TRUE(blockers.finish(second));
    EXPECT_EQ(queue.threadCount(), 2u);
}

TEST(ConcurrentQueue, StartsAThreadPerBlockedItemUpToTheCapThatEndsWhenIdle) {
    ConcurrentQueue queue("retire", 3, 0.05);
    Blockers blockers;
    test::Gate gate;
    test::Gate later;
    ASSERT_TRUE(blockers.post(queue, 5, gate, 3));
    EXPECT_EQ(queue.threadCount(), 3u);
    ASSERT_TRUE(blockers.finish(gate));
    EXPECT_TRUE(test::eventually([&] { return queue.threadCount() == 0; }));
    EXPECT_TRUE(queue.waitIdle(10));
    // Work after the workers ended still runs, on a fresh worker.
    EXPECT_TRUE(blockers.post(queue, 2, later, 2));
    EXPECT_EQ(queue.threadCount(), 2u);
    EXPECT_TRUE(blockers.finish(later));
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

// What a queue with one worker promises, run against the serial queue and a concurrent
// queue capped at one thread; then what the concurrent queue does with more.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../support/ProcessInspection.hpp"
#include "../support/Waiting.hpp"
#include "platform/ConcurrentQueue.hpp"
#include "platform/SerialQueue.hpp"

namespace orvel {
namespace {

template <typename Queue>
std::shared_ptr<Queue> makeQueue(const std::string& label) {
    if constexpr (std::is_same_v<Queue, SerialQueue>) {
        auto queue = std::make_shared<SerialQueue>(label);
        EXPECT_EQ(queue->label(), label);
        return queue;
    } else {
        return std::make_shared<ConcurrentQueue>(label, 1);
    }
}

template <typename Queue>
class OneWorkerQueue : public ::testing::Test {};

using Queues = ::testing::Types<SerialQueue, ConcurrentQueue>;
class QueueNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return std::is_same_v<T, SerialQueue> ? "Serial" : "ConcurrentOfOne";
    }
};
TYPED_TEST_SUITE(OneWorkerQueue, Queues, QueueNames);

TYPED_TEST(OneWorkerQueue, RunsItemsInOrderOnOneThreadNamedAfterTheLabel) {
    const std::vector<std::pair<std::string, std::string>> names = {
        {"short", "short"},
        {"fifteen chars..", "fifteen chars.."},
        {"quillon.orvel.bridge.reader", "bridge.reader"},
        {"quillon.orvel.keychain", "orvel.keychain"},
        {"a-single-part-far-too-long", "a-single-part-f"},
    };
    for (const auto& [label, expected] : names) {
        std::vector<int> order;
        std::set<std::thread::id> threads;
        std::set<std::string> threadNames;
        {
            auto queue = makeQueue<TypeParam>(label);
            for (int i = 0; i < 100; ++i) {
                queue->async([&, i] {
                    order.push_back(i);
                    threads.insert(std::this_thread::get_id());
                    threadNames.insert(test::currentThreadName());
                });
            }
        }  // joins: what follows reads what the worker wrote
        ASSERT_EQ(order.size(), 100u) << label;
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << label;
        EXPECT_EQ(threads.size(), 1u) << label;
        EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u) << label;
        EXPECT_EQ(threadNames, std::set<std::string>{expected}) << label;
    }
}

// Posted while the worker is held (all drained by the destructor), then while it runs.
TYPED_TEST(OneWorkerQueue, DestructionRunsWhatManyThreadsQueuedInTheirOrderBeforeJoining) {
    for (bool held : {true, false}) {
        SCOPED_TRACE(held ? "held" : "running");
        test::Gate gate;
        std::vector<std::vector<int>> seen(4);
        std::thread opener;
        {
            auto queue = makeQueue<TypeParam>("drain");
            if (held) queue->async([&] { ASSERT_TRUE(gate.pass()); });
            std::vector<std::thread> posters;
            posters.reserve(4);
            for (int t = 0; t < 4; ++t) {
                posters.emplace_back([&, t] {
                    for (int i = 0; i < 200; ++i) queue->async([&, t, i] { seen[t].push_back(i); });
                });
            }
            for (auto& p : posters) p.join();
            if (held) opener = std::thread([&] { gate.open(); });
        }
        if (opener.joinable()) opener.join();
        for (auto& s : seen) {
            ASSERT_EQ(s.size(), 200u);
            EXPECT_TRUE(std::is_sorted(s.begin(), s.end()));
        }
    }
}

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

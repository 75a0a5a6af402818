// What a queue with one worker promises, run against the serial queue and a concurrent
// queue capped at one thread.

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

}  // namespace
}  // namespace orvel

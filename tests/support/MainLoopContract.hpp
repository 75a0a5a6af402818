#pragma once
// What every MainLoop promises, as a type-parameterized suite: each loop's test program
// instantiates it with a clock, a type holding `loop`, its time unit `kUnit`, `runFor(seconds)`
// and `runUntil(done)`. RealClockFor runs a real loop (PollLoop, the Qt loop) in hundredths of
// a second under a guard that ends it.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/MainLoop.hpp"

namespace orvel::test {

// `Loop` has run() and a thread-safe quit().
template <typename Loop>
struct RealClockFor {
    static constexpr double kUnit = 0.01;
    Loop loop;
    void runFor(double seconds) {
        const CancelHandle guard = loop.postAfter(seconds, [this] { loop.quit(); });
        loop.run();
    }
    bool runUntil(const std::function<bool()>& done, double limit = 10.0) {
        const double giveUp = loop.now() + limit;
        std::function<void()> check;
        CancelHandle next;
        // Captures this frame by reference: run() returns before the frame ends.
        check = [&] {
            if (done() || loop.now() > giveUp) return loop.quit();
            next = loop.postAfter(0.001, check);
        };
        loop.post(check);
        loop.run();
        return done();
    }
};

template <typename Clock>
class MainLoopContract : public ::testing::Test {
protected:
    static constexpr double kUnit = Clock::kUnit;
    Clock clock;
    MainLoop& loop = clock.loop;
};

TYPED_TEST_SUITE_P(MainLoopContract);

TYPED_TEST_P(MainLoopContract, PostsFromAnyThreadRunOnTheLoopInTheirOrder) {
    constexpr int kThreads = 4;
    constexpr int kEach = 200;
    std::vector<std::vector<int>> seen(kThreads);
    int total = 0;
    std::atomic<bool> offLoop = false;
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            if (this->loop.isLoopThread()) offLoop = true;
            for (int i = 0; i < kEach; ++i) {
                this->loop.post([&, t, i] {
                    EXPECT_TRUE(this->loop.isLoopThread());
                    seen[t].push_back(i);
                    ++total;
                });
            }
        });
    }
    std::vector<int> nested;
    this->loop.post([&] {
        nested.push_back(1);
        this->loop.post([&] { nested.push_back(3); });
        nested.push_back(2);
    });
    EXPECT_TRUE(
        this->clock.runUntil([&] { return total == kThreads * kEach && nested.size() == 3; }));
    for (auto& t : threads) t.join();
    EXPECT_FALSE(offLoop);
    for (auto& s : seen) {
        ASSERT_EQ(s.size(), static_cast<std::size_t>(kEach));
        EXPECT_TRUE(std::is_sorted(s.begin(), s.end()));
    }
    EXPECT_EQ(nested, (std::vector<int>{1, 2, 3}));
}

TYPED_TEST_P(MainLoopContract, TimersRunInDueThenScheduleOrderAndNeverEarly) {
    const double u = this->kUnit;
    const double start = this->loop.now();
    std::vector<std::string> order;
    std::vector<CancelHandle> keep;
    auto add = [&](double after, const std::string& name) {
        const double due = this->loop.now() + std::max(0.0, after);
        keep.push_back(this->loop.postAfter(after, [&, due, name] {
            EXPECT_GE(this->loop.now(), due) << name;
            order.push_back(name);
        }));
    };
    add(3 * u, "a");
    add(1 * u, "b");
    add(2 * u, "c");
    add(1 * u, "d");
    add(-5 * u, "negative");
    this->clock.runFor(5 * u);
    EXPECT_EQ(order, (std::vector<std::string>{"negative", "b", "d", "c", "a"}));
    EXPECT_GE(this->loop.now(), start + 5 * u);
}

// Cancelled by hand, by its handle's end, or by a callback due at the same time; a callback
// may also destroy its own handle, and a detached timer still runs.
TYPED_TEST_P(MainLoopContract, CancelledTimersNeverRunAndDetachedOnesDo) {
    const std::pair<const char*, std::function<void(CancelHandle&)>> cases[] = {
        {"cancel", [](CancelHandle& h) { h.cancel(); }},
        {"destroy", [](CancelHandle& h) { CancelHandle gone = std::move(h); }},
        {"overwrite", [](CancelHandle& h) { h = CancelHandle(); }},
    };
    const double u = this->kUnit;
    int ran = 0;
    for (const auto& [name, stop] : cases) {
        CancelHandle handle = this->loop.postAfter(u, [&] { ++ran; });
        EXPECT_TRUE(handle.pending()) << name;
        stop(handle);
        EXPECT_FALSE(handle.pending()) << name;
    }
    CancelHandle second;
    CancelHandle first = this->loop.postAfter(u, [&] { second.cancel(); });
    second = this->loop.postAfter(u, [&] { ++ran; });
    std::optional<CancelHandle> self;
    std::string seen;
    self = this->loop.postAfter(u, [&, captured = std::string("still alive")] {
        self.reset();
        seen = captured;  // the closure itself must outlive its handle
    });
    bool detachedRan = false;
    this->loop.postAfter(u, [&] { detachedRan = true; }).detach();
    this->clock.runFor(3 * u);
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(seen, "still alive");
    EXPECT_TRUE(detachedRan);
    EXPECT_FALSE(first.pending()) << "a timer that fired is no longer pending";
}

TYPED_TEST_P(MainLoopContract, HandlesOutliveTheLoopThatDropsWhatNeverRan) {
    auto resource = std::make_shared<int>(0);
    CancelHandle unfired;
    {
        TypeParam other;
        unfired = other.loop.postAfter(60, [resource] {});
        other.loop.post([resource] {});
        EXPECT_TRUE(other.loop.isLoopThread());
    }
    EXPECT_EQ(resource.use_count(), 1);
    EXPECT_TRUE(unfired.pending());
    unfired.cancel();
    EXPECT_FALSE(unfired.pending());
}

REGISTER_TYPED_TEST_SUITE_P(MainLoopContract, PostsFromAnyThreadRunOnTheLoopInTheirOrder,
                            TimersRunInDueThenScheduleOrderAndNeverEarly,
                            CancelledTimersNeverRunAndDetachedOnesDo,
                            HandlesOutliveTheLoopThatDropsWhatNeverRan);

}  // namespace orvel::test

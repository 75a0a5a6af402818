// What every MainLoop promises, run against each loop: the test loop on its virtual clock and
// the real one on its own (in hundredths of a second, under a guard that ends it).

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../support/LoopThread.hpp"
#include "platform/ManualLoop.hpp"
#include "platform/PollLoop.hpp"

namespace orvel {
namespace {

struct VirtualClock {
    static constexpr double kUnit = 1.0;
    ManualLoop loop{0};
    void runFor(double seconds) { loop.advance(seconds); }
    bool runUntil(const std::function<bool()>& done) { return loop.runUntil(done); }
};

struct RealClock {
    static constexpr double kUnit = 0.01;
    PollLoop loop;
    void runFor(double seconds) { test::runGuarded(loop, seconds); }
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

using Clocks = ::testing::Types<VirtualClock, RealClock>;
class ClockNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return std::is_same_v<T, VirtualClock> ? "ManualLoop" : "PollLoop";
    }
};
TYPED_TEST_SUITE(MainLoopContract, Clocks, ClockNames);

TYPED_TEST(MainLoopContract, PostsFromAnyThreadRunOnTheLoopInTheirOrder) {
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

TYPED_TEST(MainLoopContract, TimersRunInDueThenScheduleOrderAndNeverEarly) {
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
TYPED_TEST(MainLoopContract, CancelledTimersNeverRunAndDetachedOnesDo) {
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

TYPED_TEST(MainLoopContract, HandlesOutliveTheLoopThatDropsWhatNeverRan) {
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

}  // namespace
}  // namespace orvel

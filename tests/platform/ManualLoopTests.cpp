#include "platform/ManualLoop.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../support/MainLoopContract.hpp"
#include "platform/PollLoop.hpp"

namespace orvel::test {
namespace {

// The MainLoop contract against the test loop on its virtual clock and the headless programs'
// real loop.
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

}  // namespace
}  // namespace orvel::test

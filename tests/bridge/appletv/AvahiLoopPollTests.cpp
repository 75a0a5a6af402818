#include "bridge/appletv/AvahiLoopPoll.hpp"

#include <avahi-common/watch.h>
#include <sys/eventfd.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../../support/LoopThread.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {
namespace {

// Callbacks note what happened here: a watch "name:<events given>/<watch_get_events>", a
// timeout its name.
struct Log {
    PollLoop* loop = nullptr;
    const AvahiPoll* api = nullptr;
    std::vector<std::string> seen;
};

// What a watch's or timeout's callback does after noting itself; a watch without one quits.
template <typename Handle>
struct Use {
    Log* log;
    std::string name;
    std::function<void(Handle*)> then = {};
};
using WatchUse = Use<AvahiWatch>;
using TimeoutUse = Use<AvahiTimeout>;

void onWatch(AvahiWatch* watch, int /*fd*/, AvahiWatchEvent event, void* userdata) {
    auto& use = *static_cast<WatchUse*>(userdata);
    use.log->seen.push_back(use.name + ":" + std::to_string(event) + "/" +
                            std::to_string(use.log->api->watch_get_events(watch)));
    if (use.then) {
        use.then(watch);
    } else {
        use.log->loop->quit();
    }
}

timeval wallClockIn(double seconds) {
    timeval now{};
    ::gettimeofday(&now, nullptr);
    const auto micros = static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_usec +
                        static_cast<std::int64_t>(seconds * 1e6);
    return timeval{static_cast<time_t>(micros / 1000000),
                   static_cast<suseconds_t>(micros % 1000000)};
}

void onTimeout(AvahiTimeout* timeout, void* userdata) {
    auto& use = *static_cast<TimeoutUse*>(userdata);
    use.log->seen.push_back(use.name);
    if (use.then) use.then(timeout);
}

class AvahiLoopPollTest : public ::testing::Test {
protected:
    // Runs the loop until a callback quits it or `seconds` pass; true when a callback quit it.
    bool runFor(double seconds) { return test::runGuarded(loop, seconds); }
    // A timeout due at `when` (none: disabled), noted under `name` when it fires.
    AvahiTimeout* arm(const char* name, const timeval* when,
                      std::function<void(AvahiTimeout*)> then = {}) {
        auto& use = timeouts.emplace_back(TimeoutUse{&log, name, std::move(then)});
        return api->timeout_new(api, when, onTimeout, &use);
    }
    static void fill(const UniqueFd& fd) {
        const std::uint64_t one = 1;
        ASSERT_EQ(::write(fd.get(), &one, sizeof one), static_cast<ssize_t>(sizeof one));
    }

    PollLoop loop;
    AvahiLoopPoll poll{loop};
    const AvahiPoll* api = poll.api();
    Log log{&loop, api, {}};
    std::deque<TimeoutUse> timeouts;
    UniqueFd counter{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
};

constexpr auto kIn = AVAHI_WATCH_IN;
constexpr auto kOut = AVAHI_WATCH_OUT;
const auto kBoth = AvahiWatchEvent(AVAHI_WATCH_IN | AVAHI_WATCH_OUT);

TEST_F(AvahiLoopPollTest, WatchReportsTheReadyEventsItWaitsFor) {
    // An eventfd is always writable, and readable once something was written to it. Events
    // as the callback was given them and as watch_get_events told them: POLLIN 1, POLLOUT 4.
    struct Case {
        AvahiWatchEvent asked;
        bool filled;
        std::string seen;  // empty: no call
    };
    const std::vector<Case> cases = {
        {kIn, true, "w:1/1"},           {kIn, false, ""},       {kOut, false, "w:4/4"},
        {kOut, true, "w:4/4"},          {kBoth, true, "w:5/5"}, {kBoth, false, "w:4/4"},
        {AvahiWatchEvent(0), true, ""},
    };
    for (const auto& c : cases) {
        UniqueFd fd{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
        if (c.filled) fill(fd);
        log.seen.clear();
        WatchUse use{&log, "w"};
        AvahiWatch* watch = api->watch_new(api, fd.get(), c.asked, onWatch, &use);
        ASSERT_NE(watch, nullptr);
        EXPECT_EQ(api->watch_get_events(watch), 0) << "outside its callback";
        EXPECT_EQ(runFor(c.seen.empty() ? 0.05 : 10.0), !c.seen.empty()) << c.asked << c.filled;
        const auto expected = c.seen.empty() ? std::vector<std::string>{} : std::vector{c.seen};
        EXPECT_EQ(log.seen, expected) << c.asked << " " << c.filled;
        api->watch_free(watch);
    }
}

TEST_F(AvahiLoopPollTest, UpdateChangesWhatTheWatchWaitsFor) {
    WatchUse use{&log, "w"};
    AvahiWatch* watch = api->watch_new(api, counter.get(), kIn, onWatch, &use);
    EXPECT_FALSE(runFor(0.05));
    api->watch_update(watch, kOut);
    EXPECT_TRUE(runFor(10.0));
    EXPECT_EQ(log.seen, std::vector<std::string>{"w:4/4"});

    // From inside the callback: the writable descriptor is not reported again.
    log.seen.clear();
    use.then = [this](AvahiWatch* self) { api->watch_update(self, kIn); };
    EXPECT_FALSE(runFor(0.05));
    EXPECT_EQ(log.seen, std::vector<std::string>{"w:4/4"});
    fill(counter);
    use.then = nullptr;
    EXPECT_TRUE(runFor(10.0));
    EXPECT_EQ(log.seen.back(), "w:1/1");

    api->watch_update(watch, AvahiWatchEvent(0));
    log.seen.clear();
    EXPECT_FALSE(runFor(0.05));
    EXPECT_TRUE(log.seen.empty());
    api->watch_free(watch);
}

TEST_F(AvahiLoopPollTest, WatchFreedInsideItsOwnOrASiblingsCallbackIsNotCalledAgain) {
    // All stay ready for ever: only freeing stops them. The second frees the third in the
    // round in which both are ready.
    fill(counter);
    const auto freeSelf = [this](AvahiWatch* self) { api->watch_free(self); };
    AvahiWatch* thirdWatch = nullptr;
    WatchUse first{&log, "first", freeSelf};
    WatchUse second{&log, "second", [&](AvahiWatch*) {
                        if (thirdWatch) api->watch_free(std::exchange(thirdWatch, nullptr));
                    }};
    WatchUse third{&log, "third", freeSelf};
    api->watch_new(api, counter.get(), kIn, onWatch, &first);
    AvahiWatch* secondWatch = api->watch_new(api, counter.get(), kIn, onWatch, &second);
    thirdWatch = api->watch_new(api, counter.get(), kIn, onWatch, &third);
    EXPECT_FALSE(runFor(0.05));
    ASSERT_GE(log.seen.size(), 2U);
    EXPECT_EQ(log.seen[0], "first:1/1");
    EXPECT_EQ(std::count(log.seen.begin(), log.seen.end(), "first:1/1"), 1);
    EXPECT_EQ(std::count(log.seen.begin(), log.seen.end(), "second:1/1"), log.seen.size() - 1)
        << "the third was called after it was freed";
    api->watch_free(secondWatch);
}

TEST_F(AvahiLoopPollTest, TimeoutsFireOnceWhenDueUnlessMovedDisabledOrFreed) {
    const timeval longAgo = wallClockIn(-3600);
    const timeval in10ms = wallClockIn(0.01);
    const timeval in20ms = wallClockIn(0.02);
    const timeval in1h = wallClockIn(3600);
    arm("soon", &in20ms);
    arm("past", &longAgo);
    AvahiTimeout* toMove = arm("moved", &in1h);
    api->timeout_update(arm("disabled", &in10ms), nullptr);
    api->timeout_free(arm("freed", &in10ms));
    arm("never", nullptr);
    bool rearmed = false;
    arm("repeated", &in10ms, [&](AvahiTimeout* self) {
        const timeval shortly = wallClockIn(0.001);
        if (!std::exchange(rearmed, true)) api->timeout_update(self, &shortly);
    });
    arm("selfFreed", &in10ms, [this](AvahiTimeout* self) { api->timeout_free(self); });
    api->timeout_update(toMove, &in10ms);

    // Two runs, so that a loop woken late still sees a re-armed timeout fire; nothing fired
    // stays armed, so the second adds nothing else.
    EXPECT_FALSE(runFor(0.05));
    ASSERT_FALSE(log.seen.empty());
    EXPECT_EQ(log.seen.front(), "past");
    EXPECT_FALSE(runFor(0.05));
    std::vector<std::string> expected = {"moved",    "past",      "repeated",
                                         "repeated", "selfFreed", "soon"};
    std::sort(log.seen.begin(), log.seen.end());
    EXPECT_EQ(log.seen, expected);

    log.seen.clear();
    api->timeout_update(toMove, &longAgo);
    EXPECT_FALSE(runFor(0.05));
    EXPECT_EQ(log.seen, std::vector<std::string>{"moved"});
}

}  // namespace
}  // namespace orvel

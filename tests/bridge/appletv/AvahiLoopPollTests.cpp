#include "bridge/appletv/AvahiLoopPoll.hpp"

#include <avahi-common/watch.h>
#include <sys/eventfd.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
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
    AvahiWatch* other = nullptr;  // freed by a callback that wants a sibling gone
};

struct WatchUse {
    Log* log;
    std::string name;
    enum { quit, freeSelf, freeOther, watchInstead } then = quit;
    AvahiWatchEvent next = AvahiWatchEvent(0);
};

void onWatch(AvahiWatch* watch, int /*fd*/, AvahiWatchEvent event, void* userdata) {
    auto& use = *static_cast<WatchUse*>(userdata);
    const AvahiPoll& api = *use.log->api;
    std::string seen = use.name;
    seen.append(":").append(std::to_string(event));
    seen.append("/").append(std::to_string(api.watch_get_events(watch)));
    use.log->seen.push_back(std::move(seen));
    switch (use.then) {
        case WatchUse::quit:
            use.log->loop->quit();
            break;
        case WatchUse::freeSelf:
            api.watch_free(watch);
            break;
        case WatchUse::freeOther:
            if (use.log->other) api.watch_free(use.log->other);
            use.log->other = nullptr;
            break;
        case WatchUse::watchInstead:
            api.watch_update(watch, use.next);
            break;
    }
}

struct TimeoutUse {
    Log* log;
    std::string name;
    enum { record, again, freeSelf } then = record;
};

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
    if (use.then == TimeoutUse::again) {
        const timeval soon = wallClockIn(0.001);
        use.then = TimeoutUse::record;
        use.log->api->timeout_update(timeout, &soon);
    } else if (use.then == TimeoutUse::freeSelf) {
        use.log->api->timeout_free(timeout);
    }
}

class AvahiLoopPollTest : public ::testing::Test {
protected:
    AvahiLoopPollTest() {
        log.loop = &loop;
        log.api = api;
    }
    // Runs the loop until a callback quits it or `seconds` pass; true when a callback quit it.
    bool runFor(double seconds) { return test::runGuarded(loop, seconds); }
    static void fill(const UniqueFd& fd) {
        const std::uint64_t one = 1;
        ASSERT_EQ(::write(fd.get(), &one, sizeof one), static_cast<ssize_t>(sizeof one));
    }

    PollLoop loop;
    AvahiLoopPoll poll{loop};
    const AvahiPoll* api = poll.api();
    Log log;
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
    use.then = WatchUse::watchInstead;
    use.next = kIn;
    EXPECT_FALSE(runFor(0.05));
    EXPECT_EQ(log.seen, std::vector<std::string>{"w:4/4"});
    fill(counter);
    use.then = WatchUse::quit;
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
    WatchUse first{&log, "first", WatchUse::freeSelf};
    WatchUse second{&log, "second", WatchUse::freeOther};
    WatchUse third{&log, "third", WatchUse::freeSelf};
    api->watch_new(api, counter.get(), kIn, onWatch, &first);
    AvahiWatch* secondWatch = api->watch_new(api, counter.get(), kIn, onWatch, &second);
    log.other = api->watch_new(api, counter.get(), kIn, onWatch, &third);
    EXPECT_FALSE(runFor(0.05));
    ASSERT_GE(log.seen.size(), 2U);
    EXPECT_EQ(log.seen[0], "first:1/1");
    EXPECT_EQ(std::count(log.seen.begin(), log.seen.end(), "first:1/1"), 1);
    EXPECT_EQ(std::count(log.seen.begin(), log.seen.end(), "second:1/1"), log.seen.size() - 1)
        << "the third was called after it was freed";
    api->watch_free(secondWatch);
}

TEST_F(AvahiLoopPollTest, TimeoutsFireOnceWhenDueUnlessMovedDisabledOrFreed) {
    TimeoutUse past{&log, "past"};
    TimeoutUse soon{&log, "soon"};
    TimeoutUse moved{&log, "moved"};
    TimeoutUse disabled{&log, "disabled"};
    TimeoutUse freed{&log, "freed"};
    TimeoutUse never{&log, "never"};
    TimeoutUse repeated{&log, "repeated", TimeoutUse::again};
    TimeoutUse selfFreed{&log, "selfFreed", TimeoutUse::freeSelf};

    const timeval longAgo = wallClockIn(-3600);
    const timeval in10ms = wallClockIn(0.01);
    const timeval in20ms = wallClockIn(0.02);
    const timeval in1h = wallClockIn(3600);
    api->timeout_new(api, &in20ms, onTimeout, &soon);
    api->timeout_new(api, &longAgo, onTimeout, &past);
    AvahiTimeout* toMove = api->timeout_new(api, &in1h, onTimeout, &moved);
    AvahiTimeout* toDisable = api->timeout_new(api, &in10ms, onTimeout, &disabled);
    AvahiTimeout* toFree = api->timeout_new(api, &in10ms, onTimeout, &freed);
    api->timeout_new(api, nullptr, onTimeout, &never);
    api->timeout_new(api, &in10ms, onTimeout, &repeated);
    api->timeout_new(api, &in10ms, onTimeout, &selfFreed);
    api->timeout_update(toMove, &in10ms);
    api->timeout_update(toDisable, nullptr);
    api->timeout_free(toFree);

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

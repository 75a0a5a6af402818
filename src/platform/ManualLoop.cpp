#include "platform/ManualLoop.hpp"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/PostedWork.hpp"
#include "platform/TimerQueue.hpp"

namespace orvel {

struct ManualLoop::Impl {
    const std::thread::id owner = std::this_thread::get_id();
    PostedWork posted;

    // Test thread only.
    double now = 0;
    TimerQueue timers;

    // Posted work first, then one due timer at a time, so that what a timer posts runs
    // before the next timer.
    void runReady() {
        for (;;) {
            while (posted.runOne()) {
            }
            auto work = timers.popDue(now);
            if (!work) return;
            if (*work) (*work)();
        }
    }
};

ManualLoop::ManualLoop(double start) : impl_(std::make_unique<Impl>()) {
    impl_->now = start;
}

ManualLoop::~ManualLoop() {
    impl_->timers.clear();
    impl_->posted.clear();
}

void ManualLoop::post(std::function<void()> work) {
    impl_->posted.push(std::move(work));
}

CancelHandle ManualLoop::postAfter(double seconds, std::function<void()> work) {
    return CancelHandle(
        impl_->timers.schedule(impl_->now + std::max(0.0, seconds), std::move(work)));
}

double ManualLoop::now() const {
    return impl_->now;
}

bool ManualLoop::isLoopThread() const {
    return impl_->owner == std::this_thread::get_id();
}

void ManualLoop::runUntilIdle() {
    impl_->runReady();
}

void ManualLoop::advance(double seconds) {
    Impl& d = *impl_;
    const double end = d.now + std::max(0.0, seconds);
    d.runReady();
    for (;;) {
        auto due = d.timers.nextDue();
        if (!due || *due > end) break;
        d.now = std::max(d.now, *due);
        d.runReady();
    }
    d.now = end;
    d.runReady();
}

bool ManualLoop::runUntil(const std::function<bool()>& done, double realTimeout) {
    Impl& d = *impl_;
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(std::clamp(realTimeout, 0.0, TimerQueue::kLongestWait)));
    for (;;) {
        d.runReady();
        if (done()) return true;
        if (!d.posted.waitUntil(deadline)) return done();
    }
}

}  // namespace orvel

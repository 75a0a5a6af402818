#include "platform/PollLoop.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/PostedWork.hpp"
#include "platform/TimerQueue.hpp"
#include "platform/UniqueFd.hpp"
#include "platform/Uptime.hpp"

namespace orvel {

struct PollLoop::Impl {
    struct Watch {
        int fd;
        FdEvents events;
        std::shared_ptr<CancelToken> token;
        // Shared so that a callback which cancels its own watch keeps running to its end.
        std::shared_ptr<std::function<void(FdEvents)>> onReady;
    };

    UniqueFd wake;
    std::atomic<std::thread::id> loopThread{std::this_thread::get_id()};
    std::atomic<bool> quitting{false};

    PostedWork posted;

    // Loop thread only.
    TimerQueue timers;
    std::vector<Watch> watches;

    void signalWake() {
        const std::uint64_t one = 1;
        // EAGAIN means the counter is already non-zero: the loop wakes anyway.
        while (::write(wake.get(), &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    void drainWake() {
        std::uint64_t count = 0;
        while (::read(wake.get(), &count, sizeof count) < 0 && errno == EINTR) {
        }
    }
    void runPosted();
    void runTimers();
    void waitForEvents();
};

void PollLoop::Impl::runPosted() {
    // Only what was posted before this pass: work that keeps posting work must not starve
    // timers and descriptors.
    for (std::size_t count = posted.size(); count > 0 && !quitting; --count) posted.runOne();
}

void PollLoop::Impl::runTimers() {
    // Timers scheduled by these callbacks are due after `now` and wait for the next pass.
    const double now = Uptime::now();
    while (!quitting) {
        auto work = timers.popDue(now);
        if (!work) return;
        if (*work) (*work)();
    }
}

void PollLoop::Impl::waitForEvents() {
    std::erase_if(watches, [](const Watch& w) { return w.token->cancelled.load(); });

    const bool postedReady = posted.size() > 0;
    timespec timeout{};
    timespec* timeoutPtr = &timeout;
    if (!postedReady) {
        if (auto due = timers.nextDue()) {
            // Capped so that a timer set for ever stays representable; waking early is harmless.
            double wait = std::clamp(*due - Uptime::now(), 0.0, TimerQueue::kLongestWait);
            double whole = std::floor(wait);
            timeout.tv_sec = static_cast<time_t>(whole);
            timeout.tv_nsec = static_cast<long>((wait - whole) * 1e9);
        } else {
            timeoutPtr = nullptr;
        }
    }

    std::vector<pollfd> fds;
    fds.reserve(watches.size() + 1);
    fds.push_back(pollfd{wake.get(), POLLIN, 0});
    for (const Watch& w : watches) {
        short asked = 0;
        if (has(w.events, FdEvents::readable)) asked |= POLLIN;
        if (has(w.events, FdEvents::writable)) asked |= POLLOUT;
        fds.push_back(pollfd{w.fd, asked, 0});
    }
    // Callbacks may add or cancel watches; dispatch from a snapshot.
    std::vector<Watch> polled = watches;

    int n = ::ppoll(fds.data(), fds.size(), timeoutPtr, nullptr);
    if (n <= 0) return;  // time-out, or EINTR: the caller looks at timers and posts again
    if (fds[0].revents & POLLIN) drainWake();
    for (std::size_t i = 1; i < fds.size(); ++i) {
        if (quitting) return;
        const Watch& w = polled[i - 1];
        if (w.token->cancelled) continue;
        if (fds[i].revents & POLLNVAL) {
            // Closed without cancelling its watch: the number may soon name another file.
            w.token->cancelled = true;
            continue;
        }
        // poll reports hang-ups and errors whatever was asked: left unreported they would
        // wake every round without anyone reading or writing.
        const bool failed = fds[i].revents & (POLLHUP | POLLERR);
        FdEvents ready = FdEvents::none;
        if (failed || (fds[i].revents & POLLIN)) ready = ready | (w.events & FdEvents::readable);
        if (failed || (fds[i].revents & POLLOUT)) ready = ready | (w.events & FdEvents::writable);
        if (ready != FdEvents::none) (*w.onReady)(ready);
    }
}

PollLoop::PollLoop() : impl_(std::make_unique<Impl>()) {
    impl_->wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!impl_->wake) {
        // Only when out of descriptors at start-up; nothing can run without a loop.
        std::perror("PollLoop: eventfd failed");
        std::abort();
    }
}

PollLoop::~PollLoop() {
    // Work and timers that never ran are dropped; their handles stay safe to cancel.
    impl_->timers.clear();
    impl_->watches.clear();
    impl_->posted.clear();
}

void PollLoop::post(std::function<void()> work) {
    impl_->posted.push(std::move(work));
    impl_->signalWake();
}

CancelHandle PollLoop::postAfter(double seconds, std::function<void()> work) {
    double due = now() + std::max(0.0, seconds);
    return CancelHandle(impl_->timers.schedule(due, std::move(work)));
}

double PollLoop::now() const {
    return Uptime::now();
}

bool PollLoop::isLoopThread() const {
    return impl_->loopThread == std::this_thread::get_id();
}

void PollLoop::run() {
    Impl& d = *impl_;
    d.loopThread = std::this_thread::get_id();
    while (!d.quitting) {
        d.runPosted();
        if (!d.quitting) d.runTimers();
        if (!d.quitting) d.waitForEvents();
    }
    // Lets the loop be run again; work left over runs then.
    d.quitting = false;
}

void PollLoop::quit() {
    impl_->quitting = true;
    impl_->signalWake();
}

CancelHandle PollLoop::watchReadable(int fd, std::function<void()> onReadable) {
    return watch(fd, FdEvents::readable,
                 [onReadable = std::move(onReadable)](FdEvents) { onReadable(); });
}

CancelHandle PollLoop::watch(int fd, FdEvents events, std::function<void(FdEvents ready)> onReady) {
    auto token = std::make_shared<CancelToken>();
    impl_->watches.push_back(Impl::Watch{
        fd, events, token, std::make_shared<std::function<void(FdEvents)>>(std::move(onReady))});
    return CancelHandle(token);
}

}  // namespace orvel

#include "bridge/appletv/AvahiLoopPoll.hpp"

#include <avahi-common/watch.h>
#include <sys/time.h>

#include <unordered_map>

namespace orvel {
namespace {

// Avahi hands out raw pointers to watches and timeouts; the poll owns them through these
// tables, and a callback holds its own one for the length of the call, so that freeing it
// from inside that callback leaves it alive until the call returns.
template <typename T>
using Owned = std::unordered_map<const T*, std::shared_ptr<T>>;

}  // namespace
}  // namespace orvel

struct AvahiWatch : std::enable_shared_from_this<AvahiWatch> {
    orvel::PollLoop* loop = nullptr;
    orvel::Owned<AvahiWatch>* owners = nullptr;
    int fd = -1;
    int events = 0;
    AvahiWatchCallback callback = nullptr;
    void* userdata = nullptr;
    int happened = 0;  // while the callback runs, for watch_get_events
    orvel::FdEvents polledEvents = orvel::FdEvents::none;
    orvel::CancelHandle polled;
};

struct AvahiTimeout : std::enable_shared_from_this<AvahiTimeout> {
    orvel::PollLoop* loop = nullptr;
    orvel::Owned<AvahiTimeout>* owners = nullptr;
    AvahiTimeoutCallback callback = nullptr;
    void* userdata = nullptr;
    orvel::CancelHandle timer;
};

namespace orvel {
namespace {

FdEvents toFdEvents(int avahiEvents) {
    FdEvents events = FdEvents::none;
    if (avahiEvents & AVAHI_WATCH_IN) events = events | FdEvents::readable;
    if (avahiEvents & AVAHI_WATCH_OUT) events = events | FdEvents::writable;
    return events;
}

void dispatchWatch(AvahiWatch& watch, FdEvents ready) {
    int happened = 0;
    if (has(ready, FdEvents::readable)) happened |= AVAHI_WATCH_IN;
    if (has(ready, FdEvents::writable)) happened |= AVAHI_WATCH_OUT;
    watch.happened = happened;
    watch.callback(&watch, watch.fd, static_cast<AvahiWatchEvent>(happened), watch.userdata);
    watch.happened = 0;
}

void armWatch(AvahiWatch& watch) {
    const FdEvents wanted = toFdEvents(watch.events);
    // Watching anew between two polls would lose nothing, but it would churn the loop's list.
    if (wanted == watch.polledEvents && (watch.polled.pending() || wanted == FdEvents::none)) {
        return;
    }
    watch.polled.cancel();
    watch.polledEvents = wanted;
    if (wanted == FdEvents::none) return;
    watch.polled =
        watch.loop->watch(watch.fd, wanted, [weak = watch.weak_from_this()](FdEvents ready) {
            if (const auto self = weak.lock()) dispatchWatch(*self, ready);
        });
}

AvahiWatch* watchNew(const AvahiPoll* api, int fd, AvahiWatchEvent events,
                     AvahiWatchCallback callback, void* userdata);

void watchUpdate(AvahiWatch* watch, AvahiWatchEvent events) {
    watch->events = events;
    armWatch(*watch);
}

AvahiWatchEvent watchGetEvents(AvahiWatch* watch) {
    return static_cast<AvahiWatchEvent>(watch->happened);
}

void watchFree(AvahiWatch* watch) {
    watch->polled.cancel();
    watch->owners->erase(watch);
}

void setTimeout(AvahiTimeout& timeout, const timeval* when) {
    timeout.timer.cancel();
    if (!when) return;
    // Avahi counts in wall-clock time; only the distance to it carries over to the loop's clock.
    timeval now{};
    ::gettimeofday(&now, nullptr);
    const double delay = static_cast<double>(when->tv_sec - now.tv_sec) +
                         static_cast<double>(when->tv_usec - now.tv_usec) / 1e6;
    timeout.timer = timeout.loop->postAfter(delay, [weak = timeout.weak_from_this()] {
        if (const auto self = weak.lock()) self->callback(self.get(), self->userdata);
    });
}

AvahiTimeout* timeoutNew(const AvahiPoll* api, const timeval* when, AvahiTimeoutCallback callback,
                         void* userdata);

void timeoutUpdate(AvahiTimeout* timeout, const timeval* when) {
    setTimeout(*timeout, when);
}

void timeoutFree(AvahiTimeout* timeout) {
    timeout->timer.cancel();
    timeout->owners->erase(timeout);
}

}  // namespace

struct AvahiLoopPoll::Impl {
    explicit Impl(PollLoop& pollLoop) : loop(pollLoop) {
        api.userdata = this;
        api.watch_new = watchNew;
        api.watch_update = watchUpdate;
        api.watch_get_events = watchGetEvents;
        api.watch_free = watchFree;
        api.timeout_new = timeoutNew;
        api.timeout_update = timeoutUpdate;
        api.timeout_free = timeoutFree;
    }

    PollLoop& loop;
    AvahiPoll api{};
    Owned<AvahiWatch> watches;
    Owned<AvahiTimeout> timeouts;
};

namespace {

AvahiWatch* watchNew(const AvahiPoll* api, int fd, AvahiWatchEvent events,
                     AvahiWatchCallback callback, void* userdata) {
    auto& poll = *static_cast<AvahiLoopPoll::Impl*>(api->userdata);
    auto watch = std::make_shared<AvahiWatch>();
    watch->loop = &poll.loop;
    watch->owners = &poll.watches;
    watch->fd = fd;
    watch->events = events;
    watch->callback = callback;
    watch->userdata = userdata;
    armWatch(*watch);
    return poll.watches.emplace(watch.get(), watch).first->second.get();
}

AvahiTimeout* timeoutNew(const AvahiPoll* api, const timeval* when, AvahiTimeoutCallback callback,
                         void* userdata) {
    auto& poll = *static_cast<AvahiLoopPoll::Impl*>(api->userdata);
    auto timeout = std::make_shared<AvahiTimeout>();
    timeout->loop = &poll.loop;
    timeout->owners = &poll.timeouts;
    timeout->callback = callback;
    timeout->userdata = userdata;
    setTimeout(*timeout, when);
    return poll.timeouts.emplace(timeout.get(), timeout).first->second.get();
}

}  // namespace

AvahiLoopPoll::AvahiLoopPoll(PollLoop& loop) : impl_(std::make_unique<Impl>(loop)) {}

AvahiLoopPoll::~AvahiLoopPoll() = default;

const AvahiPoll* AvahiLoopPoll::api() const {
    return &impl_->api;
}

}  // namespace orvel

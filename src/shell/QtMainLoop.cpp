#include "shell/QtMainLoop.hpp"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include "platform/PostedWork.hpp"
#include "platform/TimerQueue.hpp"
#include "platform/Uptime.hpp"

namespace orvel {

struct QtMainLoop::Impl {
    struct Watch {
        std::shared_ptr<CancelToken> token;
        std::unique_ptr<QSocketNotifier> notifier;
    };

    // Every queued call targets this object, so destroying it drops the calls not yet made.
    QObject context;
    std::thread::id loopThread = std::this_thread::get_id();
    PostedWork posted;
    TimerQueue timers;
    QTimer timer;
    std::vector<Watch> watches;
    QPointer<QEventLoop> running;
    QMetaObject::Connection sweepBeforeWaiting;

    void runTimers() {
        const double now = Uptime::now();
        while (auto work = timers.popDue(now)) {
            if (*work) (*work)();
        }
        arm();
    }

    void arm() {
        const auto due = timers.nextDue();
        if (!due) {
            timer.stop();
            return;
        }
        // Rounded up: Qt counts whole milliseconds, and a timer must never run early.
        const double wait = std::clamp(*due - Uptime::now(), 0.0, TimerQueue::kLongestWait);
        timer.start(static_cast<int>(std::ceil(wait * 1000)));
    }

    // A cancelled watch goes before the loop next waits, so its descriptor may be closed
    // right after the cancel without Qt polling a dead one.
    void sweepWatches() {
        std::erase_if(watches, [](const Watch& w) { return w.token->cancelled.load(); });
    }
};

QtMainLoop::QtMainLoop() : impl_(std::make_unique<Impl>()) {
    impl_->timer.setSingleShot(true);
    impl_->timer.setTimerType(Qt::PreciseTimer);
    // Raw impl_: the timer and the connection are its own and go with it.
    QObject::connect(&impl_->timer, &QTimer::timeout, &impl_->context,
                     [impl = impl_.get()] { impl->runTimers(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        impl_->sweepBeforeWaiting =
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &impl_->context,
                             [impl = impl_.get()] { impl->sweepWatches(); });
    }
}

QtMainLoop::~QtMainLoop() {
    QObject::disconnect(impl_->sweepBeforeWaiting);
    impl_->timer.stop();
    impl_->watches.clear();
    impl_->timers.clear();
}

void QtMainLoop::post(std::function<void()> work) {
    impl_->posted.push(std::move(work));
    // One queued call per item: Qt keeps them in order; each runs the oldest item.
    QMetaObject::invokeMethod(
        &impl_->context, [impl = impl_.get()] { impl->posted.runOne(); }, Qt::QueuedConnection);
}

CancelHandle QtMainLoop::postAfter(double seconds, std::function<void()> work) {
    const double wait = std::isfinite(seconds) ? std::max(0.0, seconds) : TimerQueue::kLongestWait;
    auto token = impl_->timers.schedule(now() + wait, std::move(work));
    impl_->arm();
    return CancelHandle(std::move(token));
}

double QtMainLoop::now() const {
    return Uptime::now();
}

bool QtMainLoop::isLoopThread() const {
    return std::this_thread::get_id() == impl_->loopThread;
}

void QtMainLoop::run() {
    QEventLoop loop;
    impl_->running = &loop;
    loop.exec();
    impl_->running = nullptr;
}

void QtMainLoop::quit() {
    QMetaObject::invokeMethod(
        &impl_->context,
        [impl = impl_.get()] {
            if (impl->running) impl->running->quit();
        },
        isLoopThread() ? Qt::DirectConnection : Qt::QueuedConnection);
}

CancelHandle QtMainLoop::watchReadable(int fd, std::function<void()> onReadable) {
    auto token = std::make_shared<CancelToken>();
    auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    // A watch cancelled from its own callback runs to its end: the notifier, and the
    // callback with it, goes only when the loop next waits (sweepWatches).
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &impl_->context,
                     [token, callback = std::move(onReadable)] {
                         if (!token->cancelled) callback();
                     });
    impl_->watches.push_back({token, std::move(notifier)});
    return CancelHandle(std::move(token));
}

}  // namespace orvel

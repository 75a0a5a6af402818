#include "platform/ConcurrentQueue.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ThreadName.hpp"

namespace orvel {

// As in SerialQueue, workers hold the state so that a queue released by one of its own work
// items can leave that worker to finish alone.
struct ConcurrentQueue::Impl {
    struct State {
        State(std::string l, std::size_t max) : label(std::move(l)), maxThreads(max) {}
        const std::string label;
        const std::size_t maxThreads;
        mutable std::mutex mutex;  // guards the rest
        std::condition_variable changed;
        std::condition_variable idleChanged;
        std::deque<std::function<void()>> work;
        std::vector<std::thread> threads;
        std::size_t idle = 0;  // workers waiting for work
        bool stopping = false;
    };
    std::shared_ptr<State> state;

    static void runWorker(const std::shared_ptr<State>& s) {
        nameCurrentThread(s->label);
        std::unique_lock lock(s->mutex);
        for (;;) {
            if (s->work.empty() && !s->stopping) {
                ++s->idle;
                s->idleChanged.notify_all();
                s->changed.wait(lock, [&] { return s->stopping || !s->work.empty(); });
                --s->idle;
            }
            if (s->work.empty()) return;  // stopping, and everything queued has run
            std::function<void()> item = std::move(s->work.front());
            s->work.pop_front();
            lock.unlock();
            if (item) item();
            item = nullptr;  // its captures are released outside the lock
            lock.lock();
        }
    }
};

ConcurrentQueue::ConcurrentQueue(std::string label, std::size_t maxThreads)
    : impl_(std::make_unique<Impl>()) {
    impl_->state =
        std::make_shared<Impl::State>(std::move(label), std::max<std::size_t>(1, maxThreads));
}

ConcurrentQueue::~ConcurrentQueue() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(impl_->state->mutex);
        impl_->state->stopping = true;
        threads.swap(impl_->state->threads);
    }
    impl_->state->changed.notify_all();
    for (std::thread& t : threads) {
        if (t.get_id() == std::this_thread::get_id()) {
            t.detach();
        } else {
            t.join();
        }
    }
}

void ConcurrentQueue::async(std::function<void()> work) {
    Impl::State& s = *impl_->state;
    std::lock_guard lock(s.mutex);
    s.work.push_back(std::move(work));
    // Every waiting item needs a worker of its own: items here block for long (a watch
    // stream holds its worker for as long as the client listens).
    if (s.work.size() > s.idle && s.threads.size() < s.maxThreads) {
        s.threads.emplace_back([state = impl_->state] { Impl::runWorker(state); });
    } else {
        s.changed.notify_one();
    }
}

std::size_t ConcurrentQueue::threadCount() const {
    std::lock_guard lock(impl_->state->mutex);
    return impl_->state->threads.size();
}

bool ConcurrentQueue::waitIdle(double timeoutSeconds) const {
    Impl::State& s = *impl_->state;
    std::unique_lock lock(s.mutex);
    return s.idleChanged.wait_for(
        lock, std::chrono::duration<double>(std::clamp(timeoutSeconds, 0.0, 86400.0)),
        [&] { return s.work.empty() && s.idle == s.threads.size(); });
}

}  // namespace orvel

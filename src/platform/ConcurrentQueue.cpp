#include "platform/ConcurrentQueue.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ThreadName.hpp"

namespace orvel {

// Workers hold the state too: a queue destroyed by one of its own work items (a session
// released on its reader thread) cannot join that worker, so it lets it finish alone.
struct ConcurrentQueue::Impl {
    struct State {
        State(std::string l, std::size_t max, double idleFor)
            : label(std::move(l)), maxThreads(max), idleSeconds(idleFor) {}
        const std::string label;
        const std::size_t maxThreads;
        const double idleSeconds;
        mutable std::mutex mutex;  // guards the rest
        std::condition_variable changed;
        std::condition_variable idleChanged;
        std::deque<std::function<void()>> work;
        std::vector<std::thread> threads;
        std::vector<std::thread> retired;  // ended for idleness; joined by the next caller
        std::size_t idle = 0;              // workers waiting for work
        bool stopping = false;
    };
    std::shared_ptr<State> state;

    // Under the lock: hands this worker's thread to `retired` so that someone else joins it.
    static void retire(State& s) {
        const auto self = std::find_if(s.threads.begin(), s.threads.end(), [](const auto& t) {
            return t.get_id() == std::this_thread::get_id();
        });
        if (self == s.threads.end()) return;  // the destructor took it and joins it
        s.retired.push_back(std::move(*self));
        s.threads.erase(self);
        s.idleChanged.notify_all();
    }

    static void joinRetired(State& s) {
        std::vector<std::thread> retired;
        {
            std::lock_guard lock(s.mutex);
            retired.swap(s.retired);
        }
        for (std::thread& t : retired) t.join();
    }

    static void runWorker(const std::shared_ptr<State>& s) {
        nameCurrentThread(s->label);
        std::unique_lock lock(s->mutex);
        for (;;) {
            if (s->work.empty() && !s->stopping) {
                ++s->idle;
                s->idleChanged.notify_all();
                const auto ready = [&] { return s->stopping || !s->work.empty(); };
                if (s->idleSeconds < 0) {
                    s->changed.wait(lock, ready);
                } else if (!s->changed.wait_for(lock, std::chrono::duration<double>(s->idleSeconds),
                                                ready)) {
                    --s->idle;
                    retire(*s);
                    return;
                }
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

ConcurrentQueue::ConcurrentQueue(std::string label, std::size_t maxThreads, double idleSeconds)
    : impl_(std::make_unique<Impl>()) {
    impl_->state = std::make_shared<Impl::State>(std::move(label),
                                                 std::max<std::size_t>(1, maxThreads), idleSeconds);
}

ConcurrentQueue::~ConcurrentQueue() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(impl_->state->mutex);
        impl_->state->stopping = true;
        threads.swap(impl_->state->threads);
        for (std::thread& t : impl_->state->retired) threads.push_back(std::move(t));
        impl_->state->retired.clear();
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
    Impl::joinRetired(s);
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

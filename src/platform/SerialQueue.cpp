#include "platform/SerialQueue.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/ThreadName.hpp"

namespace orvel {

// The worker holds the state too: a queue destroyed by its own last work item (a session
// released on its reader thread) cannot join itself, so it lets the worker finish alone.
struct SerialQueue::Impl {
    struct State {
        explicit State(std::string l) : label(std::move(l)) {}
        const std::string label;
        std::mutex mutex;  // guards the rest
        std::condition_variable changed;
        std::deque<std::function<void()>> work;
        bool stopping = false;
    };
    std::shared_ptr<State> state;
    std::thread worker;

    static void runWorker(const std::shared_ptr<State>& s) {
        nameCurrentThread(s->label);
        std::unique_lock lock(s->mutex);
        for (;;) {
            s->changed.wait(lock, [&] { return s->stopping || !s->work.empty(); });
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

SerialQueue::SerialQueue(std::string label) : impl_(std::make_unique<Impl>()) {
    impl_->state = std::make_shared<Impl::State>(std::move(label));
    impl_->worker = std::thread([s = impl_->state] { Impl::runWorker(s); });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(impl_->state->mutex);
        impl_->state->stopping = true;
    }
    impl_->state->changed.notify_all();
    if (impl_->worker.get_id() == std::this_thread::get_id()) {
        impl_->worker.detach();
    } else {
        impl_->worker.join();
    }
}

void SerialQueue::async(std::function<void()> work) {
    {
        std::lock_guard lock(impl_->state->mutex);
        impl_->state->work.push_back(std::move(work));
    }
    impl_->state->changed.notify_one();
}

const std::string& SerialQueue::label() const {
    return impl_->state->label;
}

}  // namespace orvel

#include "platform/PostedWork.hpp"

namespace orvel {

void PostedWork::push(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(work));
    }
    pushed_.notify_all();
}

bool PostedWork::runOne() {
    std::function<void()> work;
    {
        std::lock_guard lock(mutex_);
        if (items_.empty()) return false;
        work = std::move(items_.front());
        items_.pop_front();
    }
    if (work) work();
    return true;
}

std::size_t PostedWork::size() const {
    std::lock_guard lock(mutex_);
    return items_.size();
}

bool PostedWork::waitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return pushed_.wait_until(lock, deadline, [&] { return !items_.empty(); });
}

void PostedWork::clear() {
    // Destroyed outside the lock: a closure's destructor may post.
    std::deque<std::function<void()>> dropped;
    std::lock_guard lock(mutex_);
    dropped.swap(items_);
}

}  // namespace orvel

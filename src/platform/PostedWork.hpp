#pragma once
// PostedWork: what other threads posted to a loop, kept in order under a mutex until the loop
// thread runs it. Shared by the loops so that they agree on order and on where a closure dies:
// an item's captures are released on the loop thread, outside the lock.
//
//   posted.push(std::move(work));      // any thread; the loop wakes itself
//   while (posted.runOne()) {}          // loop thread
//
// One owner, the loop; push() and size() from any thread.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace orvel {

class PostedWork {
public:
    PostedWork() = default;
    PostedWork(const PostedWork&) = delete;
    PostedWork& operator=(const PostedWork&) = delete;
    ~PostedWork() { clear(); }

    void push(std::function<void()> work);
    // Runs the oldest item; false when there was none.
    bool runOne();
    std::size_t size() const;
    // Waits until something is posted; false when `deadline` came first.
    bool waitUntil(std::chrono::steady_clock::time_point deadline);
    // Drops every item without running it.
    void clear();

private:
    mutable std::mutex mutex_;  // guards items_
    std::condition_variable pushed_;
    std::deque<std::function<void()>> items_;
};

}  // namespace orvel

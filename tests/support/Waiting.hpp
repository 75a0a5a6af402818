#pragma once
// Bounded waits for the threaded tests: a counter that test threads bump and the test
// waits on, and the name of the calling thread.

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace orvel::test {

class Counter {
public:
    void add() {
        std::lock_guard lock(mutex_);
        ++count_;
        // Notified under the lock: the waiter may return and destroy us right after.
        changed_.notify_all();
    }
    bool waitFor(int wanted, double seconds = 10.0) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                                 [&] { return count_ >= wanted; });
    }
    int value() {
        std::lock_guard lock(mutex_);
        return count_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

// A gate that work items wait behind until the test opens it (bounded, so that a broken
// queue fails the test instead of hanging it).
class Gate {
public:
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool pass(double seconds = 10.0) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                                 [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

inline std::string currentThreadName() {
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

}  // namespace orvel::test

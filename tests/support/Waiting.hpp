#pragma once
// Bounded real-time waits for tests with threads or child processes: polling a condition, a
// counter that test threads bump, and a gate that work waits behind. Every wait has a bound,
// so that a broken component fails the test instead of hanging it. Free of GoogleTest.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace orvel::test {

// Polls `done` until it holds or `seconds` passed; the result of the last look. Looks often at
// first and less often later, so that quick conditions end quickly and slow ones cost little.
inline bool eventually(const std::function<bool()>& done, double seconds = 10.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    auto pause = std::chrono::milliseconds(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    return true;
}

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

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

// Work waits behind it until the test opens it, once.
class Gate {
public:
    void open() { opened_.add(); }
    bool pass(double seconds = 10.0) { return opened_.waitFor(1, seconds); }

private:
    Counter opened_;
};

}  // namespace orvel::test

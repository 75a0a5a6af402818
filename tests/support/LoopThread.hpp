#pragma once
// LoopThread: a PollLoop running on a thread of its own, as the app's main loop does, for
// tests that serve real sockets. Destroying it quits the loop and joins the thread.
// runGuarded: a PollLoop run on the test's own thread under a guard that ends it.

#include <thread>

#include "platform/PollLoop.hpp"

namespace orvel::test {

class LoopThread {
public:
    // The thread only runs the loop, which is declared before it and outlives it.
    LoopThread() : thread_([this] { loop_.run(); }) {}
    ~LoopThread() {
        loop_.quit();
        thread_.join();
    }
    LoopThread(const LoopThread&) = delete;
    LoopThread& operator=(const LoopThread&) = delete;
    PollLoop& loop() { return loop_; }

private:
    PollLoop loop_;
    std::thread thread_;
};

// Runs `loop` until something quits it or `seconds` pass; false when the time ran out.
inline bool runGuarded(PollLoop& loop, double seconds = 10.0) {
    bool timedOut = false;
    const CancelHandle guard = loop.postAfter(seconds, [&] {
        timedOut = true;
        loop.quit();
    });
    loop.run();
    return !timedOut;
}

}  // namespace orvel::test

#pragma once
// LoopThread: a PollLoop running on a thread of its own, as the app's main loop does, for
// tests that serve real sockets. Destroying it quits the loop and joins the thread.

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

}  // namespace orvel::test

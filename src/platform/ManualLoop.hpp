#pragma once
// ManualLoop: the test loop. Time is virtual and moves only through advance(); posts from
// any thread are queued and run by the test thread in runUntilIdle()/advance()/runUntil().

#include <functional>
#include <memory>

#include "platform/MainLoop.hpp"

namespace orvel {

class ManualLoop final : public MainLoop {
public:
    explicit ManualLoop(double start = 1000.0);
    ~ManualLoop() override;

    void post(std::function<void()> work) override;
    CancelHandle postAfter(double seconds, std::function<void()> work) override;
    double now() const override;
    bool isLoopThread() const override;

    // Runs posted work and due timers until nothing is ready at the current virtual time.
    void runUntilIdle();
    // Moves virtual time forward, running timers in time order (and what they post) as
    // their moments are reached; ends at now() + seconds, idle.
    void advance(double seconds);
    // For tests with a real child process or thread: runs ready work, waiting in real time
    // for posts from other threads, until `done` is true or `realTimeout` seconds passed.
    // Virtual time does not move. Returns done().
    bool runUntil(const std::function<bool()>& done, double realTimeout = 10.0);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvel

#pragma once
// PollLoop: the real main loop of the headless programs. poll(2) over an eventfd that post()
// signals and over watched descriptors; timers on CLOCK_MONOTONIC. run() on one thread.

#include <functional>
#include <memory>

#include "platform/MainLoop.hpp"

namespace orvel {

class PollLoop final : public MainLoop {
public:
    PollLoop();
    ~PollLoop() override;

    void post(std::function<void()> work) override;
    TimerHandle postAfter(double seconds, std::function<void()> work) override;
    double now() const override;
    bool isLoopThread() const override;

    // Runs until quit(); the calling thread becomes the loop thread.
    void run();
    // Thread-safe; run() returns after the work item in progress.
    void quit();

    // Loop thread only. Calls `onReadable` whenever `fd` is readable (or hung up) until the
    // returned handle is cancelled or destroyed. The descriptor stays owned by the caller.
    [[nodiscard]] TimerHandle watchReadable(int fd, std::function<void()> onReadable);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvel

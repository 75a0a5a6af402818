#pragma once
// PollLoop: the real main loop of the headless programs. poll(2) over an eventfd that post()
// signals and over watched descriptors; timers on CLOCK_MONOTONIC. run() on one thread.

#include <functional>
#include <memory>

#include "platform/MainLoop.hpp"

namespace orvel {

// What a descriptor watch waits for, and what it found ready.
enum class FdEvents : unsigned { none = 0, readable = 1, writable = 2 };
constexpr FdEvents operator|(FdEvents a, FdEvents b) {
    return static_cast<FdEvents>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr FdEvents operator&(FdEvents a, FdEvents b) {
    return static_cast<FdEvents>(static_cast<unsigned>(a) & static_cast<unsigned>(b));
}
constexpr bool has(FdEvents set, FdEvents event) {
    return (set & event) != FdEvents::none;
}

class PollLoop final : public MainLoop {
public:
    PollLoop();
    ~PollLoop() override;

    void post(std::function<void()> work) override;
    CancelHandle postAfter(double seconds, std::function<void()> work) override;
    double now() const override;
    bool isLoopThread() const override;

    // Runs until quit(); the calling thread becomes the loop thread.
    void run();
    // Thread-safe; run() returns after the work item in progress.
    void quit();

    // Loop thread only. Calls `onReadable` whenever `fd` is readable (or hung up) until the
    // returned handle is cancelled or destroyed. The descriptor stays owned by the caller.
    [[nodiscard]] CancelHandle watchReadable(int fd, std::function<void()> onReadable);
    // Loop thread only. Calls `onReady` with the subset of `events` that `fd` is ready for,
    // whenever it is not empty, until the handle is cancelled or destroyed. A hang-up or an
    // error counts as ready for every event watched: the next read or write reports it.
    [[nodiscard]] CancelHandle watch(int fd, FdEvents events,
                                     std::function<void(FdEvents ready)> onReady);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvel

#pragma once
// ShutdownSignals: SIGINT and SIGTERM as a readable descriptor that the main loop watches,
// so that quitting runs on the loop like everything else. Construct it first thing in main(),
// before any thread starts, so that every thread inherits the blocked mask (children get an
// empty mask back from ChildProcess). Owned by main(); loop thread.

#include <functional>
#include <optional>
#include <string>

#include "platform/PollLoop.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {

class ShutdownSignals {
public:
    ShutdownSignals();  // blocks the two signals; check error() afterwards
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    // Why the signals cannot be watched; empty when they can.
    const std::string& error() const { return error_; }

    // Calls `onSignal` on the loop for every SIGINT or SIGTERM until the handle goes.
    using WatchReadable = std::function<CancelHandle(int fd, std::function<void()> onReadable)>;
    [[nodiscard]] CancelHandle watch(const WatchReadable& watchReadable,
                                     std::function<void()> onSignal);
    [[nodiscard]] CancelHandle watch(PollLoop& loop, std::function<void()> onSignal) {
        return watch(
            [&loop](int fd, auto onReadable) {
                return loop.watchReadable(fd, std::move(onReadable));
            },
            std::move(onSignal));
    }

private:
    UniqueFd fd_;
    std::string error_;
};

}  // namespace orvel

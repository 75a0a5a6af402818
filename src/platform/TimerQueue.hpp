#pragma once
// TimerQueue: the timer heap shared by the loops. Entries run in order of due time, equal
// times in the order scheduled. Cancelled entries are skipped and swept out lazily, so a
// cancel costs nothing but a flag. Not thread-safe: the owning loop's thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/MainLoop.hpp"

namespace orvel {

class TimerQueue {
public:
    // The longest a loop waits at once; keeps deadline arithmetic clear of overflow for
    // absurd time-outs.
    static constexpr double kLongestWait = 24 * 3600.0;

    std::shared_ptr<CancelToken> schedule(double due, std::function<void()> work);
    // Earliest due time of a live entry, if any.
    std::optional<double> nextDue();
    // Removes the earliest live entry due at or before `now` and returns its work, marking
    // its token spent so that its handle no longer reports it pending. Nothing when none is due.
    std::optional<std::function<void()>> popDue(double now);
    void clear() {
        auto old = std::move(heap_);
        heap_.clear();
    }

private:
    struct Entry {
        double due;
        std::uint64_t sequence;
        std::shared_ptr<CancelToken> token;
        std::function<void()> work;
    };
    static bool later(const Entry& a, const Entry& b);
    void dropCancelledTop();
    void sweep();

    std::vector<Entry> heap_;
    std::uint64_t nextSequence_ = 0;
    std::size_t sweepAt_ = kMinSweep;
    static constexpr std::size_t kMinSweep = 64;
};

}  // namespace orvel

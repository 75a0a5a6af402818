#pragma once
// PendingReply: the one answer of one ordinary control request. The handler's reply and the
// answer time-out race for it; whichever claims it first wins and the other is dropped, so a
// connection gets exactly one reply line. The serving worker holds it strongly and waits; the
// reply callback holds it weakly and may run on any thread, any number of times.
// Ends when the serving worker has written (or dropped) the answer.

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <nlohmann/json.hpp>

namespace orvel {

class PendingReply {
public:
    enum class Outcome { replied, timedOut, abandoned };
    struct Answer {
        Outcome outcome;
        nlohmann::json reply;  // the handler's, when the outcome is `replied`
    };

    // Claims with the handler's reply. False when already claimed (the time-out answered,
    // the server went away, or this is a second reply).
    bool offer(nlohmann::json reply);
    // Claims without a reply: the server is going away and writes nothing.
    void abandon();
    // Blocks until claimed or until `deadline`, which then claims for the time-out.
    Answer wait(std::chrono::steady_clock::time_point deadline);

private:
    std::mutex mutex_;
    std::condition_variable claimedChanged_;
    // Guarded by mutex_.
    bool claimed_ = false;
    Outcome outcome_ = Outcome::timedOut;
    nlohmann::json reply_;
};

}  // namespace orvel

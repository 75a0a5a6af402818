#include "control/PendingReply.hpp"

#include <utility>

namespace orvel {

bool PendingReply::offer(nlohmann::json reply) {
    {
        std::lock_guard lock(mutex_);
        if (claimed_) return false;
        claimed_ = true;
        outcome_ = Outcome::replied;
        reply_ = std::move(reply);
    }
    claimedChanged_.notify_all();
    return true;
}

void PendingReply::abandon() {
    {
        std::lock_guard lock(mutex_);
        if (claimed_) return;
        claimed_ = true;
        outcome_ = Outcome::abandoned;
    }
    claimedChanged_.notify_all();
}

PendingReply::Answer PendingReply::wait(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!claimedChanged_.wait_until(lock, deadline, [this] { return claimed_; })) {
        claimed_ = true;
        outcome_ = Outcome::timedOut;
    }
    if (outcome_ == Outcome::replied) return {outcome_, std::move(reply_)};
    return {outcome_, {}};
}

}  // namespace orvel

#include "platform/TimerQueue.hpp"

#include <algorithm>

namespace orvel {

// Closures of dropped entries are destroyed only once the heap is consistent again: their
// destructors may run arbitrary code, even schedule another timer.

bool TimerQueue::later(const Entry& a, const Entry& b) {
    if (a.due != b.due) return a.due > b.due;
    return a.sequence > b.sequence;
}

std::shared_ptr<CancelToken> TimerQueue::schedule(double due, std::function<void()> work) {
    // Request time-outs are cancelled far more often than they fire; without a sweep their
    // closures would pile up until their due time.
    if (heap_.size() >= sweepAt_) sweep();
    auto token = std::make_shared<CancelToken>();
    heap_.push_back(Entry{due, nextSequence_++, token, std::move(work)});
    std::push_heap(heap_.begin(), heap_.end(), later);
    return token;
}

std::optional<double> TimerQueue::nextDue() {
    dropCancelledTop();
    if (heap_.empty()) return std::nullopt;
    return heap_.front().due;
}

std::optional<std::function<void()>> TimerQueue::popDue(double now) {
    dropCancelledTop();
    if (heap_.empty() || heap_.front().due > now) return std::nullopt;
    std::pop_heap(heap_.begin(), heap_.end(), later);
    Entry entry = std::move(heap_.back());
    heap_.pop_back();
    entry.token->cancelled = true;
    return std::move(entry.work);
}

void TimerQueue::dropCancelledTop() {
    while (!heap_.empty() && heap_.front().token->cancelled) {
        std::pop_heap(heap_.begin(), heap_.end(), later);
        Entry dropped = std::move(heap_.back());
        heap_.pop_back();
    }
}

void TimerQueue::sweep() {
    auto live = std::partition(heap_.begin(), heap_.end(),
                               [](const Entry& e) { return !e.token->cancelled; });
    std::vector<Entry> dropped(std::make_move_iterator(live), std::make_move_iterator(heap_.end()));
    heap_.erase(live, heap_.end());
    std::make_heap(heap_.begin(), heap_.end(), later);
    sweepAt_ = std::max(kMinSweep, heap_.size() * 2);
}

}  // namespace orvel

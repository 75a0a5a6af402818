#include "platform/SerialQueue.hpp"

#include "platform/ConcurrentQueue.hpp"

namespace orvel {

// A concurrent queue capped at one worker that never retires is exactly a serial queue: one
// worker loop for both, including its care for a queue released by its own last item.
struct SerialQueue::Impl {
    explicit Impl(std::string l) : label(std::move(l)), queue(label, 1) {}
    const std::string label;
    ConcurrentQueue queue;
};

SerialQueue::SerialQueue(std::string label) : impl_(std::make_unique<Impl>(std::move(label))) {}

SerialQueue::~SerialQueue() = default;

void SerialQueue::async(std::function<void()> work) {
    impl_->queue.async(std::move(work));
}

const std::string& SerialQueue::label() const {
    return impl_->label;
}

}  // namespace orvel

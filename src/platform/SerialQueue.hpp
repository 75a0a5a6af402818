#pragma once
// SerialQueue: one worker thread, named after the label (first 15 characters), that runs
// work items one at a time in FIFO order. Destruction runs what is already queued, then
// joins: a blocking item must be made to return first (close its descriptor, signal it).

#include <functional>
#include <memory>
#include <string>

namespace orvel {

class SerialQueue {
public:
    explicit SerialQueue(std::string label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> work);  // thread-safe
    const std::string& label() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvel

#pragma once
// ConcurrentQueue: runs blocking work items on worker threads named after the label. A new
// thread starts whenever every worker is busy, up to `maxThreads`; beyond that items wait
// in FIFO order. Idle workers are reused; one left idle for `idleSeconds` ends, so a burst
// of blocking work does not keep its threads for good. Destruction runs what is queued, then
// joins.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace orvel {

class ConcurrentQueue {
public:
    static constexpr double kForever = -1;  // idle workers wait until the queue goes
    ConcurrentQueue(std::string label, std::size_t maxThreads, double idleSeconds = kForever);
    ~ConcurrentQueue();
    ConcurrentQueue(const ConcurrentQueue&) = delete;
    ConcurrentQueue& operator=(const ConcurrentQueue&) = delete;

    void async(std::function<void()> work);  // thread-safe
    std::size_t threadCount() const;         // workers running now
    // Waits until nothing is queued and every worker waits for work; false on time-out.
    bool waitIdle(double timeoutSeconds) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvel

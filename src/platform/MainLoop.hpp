#pragma once
// MainLoop: the one thread on which all session state, timers and interface work run.
//
//   loop.post([weak = weak_from_this()] { if (auto self = weak.lock()) self->tick(); });
//   timer_ = loop.postAfter(2.0, [...] { ... });   // timer_.cancel() or destroying it cancels
//
// Implementations: PollLoop (headless programs), ManualLoop (tests, virtual clock),
// and a Qt adapter in the shell. Only post() may be called from other threads.

#include <atomic>
#include <functional>
#include <memory>

namespace orvel {

// Shared between a scheduled timer and its handle; the loop skips cancelled entries.
struct CancelToken {
    std::atomic<bool> cancelled{false};
};

// Cancels its timer on cancel() or destruction. Safe after the timer fired and after the
// loop is gone. Move-only. Fire-and-forget timers call detach().
class CancelHandle {
public:
    CancelHandle() = default;
    explicit CancelHandle(std::shared_ptr<CancelToken> token) : token_(std::move(token)) {}
    CancelHandle(CancelHandle&&) noexcept = default;
    CancelHandle& operator=(CancelHandle&& other) noexcept {
        if (this != &other) {
            cancel();
            token_ = std::move(other.token_);
        }
        return *this;
    }
    CancelHandle(const CancelHandle&) = delete;
    CancelHandle& operator=(const CancelHandle&) = delete;
    ~CancelHandle() { cancel(); }

    void cancel() {
        if (token_) token_->cancelled = true;
        token_.reset();
    }
    // Lets the timer run even though this handle goes away.
    void detach() { token_.reset(); }
    bool pending() const { return token_ && !token_->cancelled; }

private:
    std::shared_ptr<CancelToken> token_;
};

class MainLoop {
public:
    virtual ~MainLoop() = default;
    // Thread-safe. Work runs on the loop thread, in the order posted.
    virtual void post(std::function<void()> work) = 0;
    // Loop thread only. Runs `work` once `seconds` have passed (negative counts as 0).
    [[nodiscard]] virtual CancelHandle postAfter(double seconds, std::function<void()> work) = 0;
    // Seconds on the loop's clock (uptime for the real loops, virtual time in tests).
    virtual double now() const = 0;
    // True when called on the loop's own thread.
    virtual bool isLoopThread() const = 0;
};

}  // namespace orvel

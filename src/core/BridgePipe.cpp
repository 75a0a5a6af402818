#include "core/BridgePipe.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>

#include "platform/SystemError.hpp"

namespace orvel {

namespace {

void setNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Returns once `fd` is ready for `events` (true) or the wake-up descriptor fired (false).
bool waitFor(int fd, short events, int wake) {
    for (;;) {
        pollfd fds[2] = {{wake, POLLIN, 0}, {fd, events, 0}};
        int n = poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return true;  // let the read or write itself report the error
        if (fds[0].revents != 0) return false;
        if (fds[1].revents != 0) return true;
    }
}

// SIGPIPE from a write is sent to the writing thread. With it blocked here the write fails
// with EPIPE instead of killing the process, whatever the program's disposition is.
void blockSigpipeOnThisThread() {
    thread_local bool blocked = false;
    if (blocked) return;
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    blocked = true;
}

void discardPendingSigpipe() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    timespec zero{};
    while (sigtimedwait(&set, nullptr, &zero) == SIGPIPE) {
    }
}

// SIGPIPE blocked on the calling thread for one write, for threads that are not ours.
class SigpipeBlockedHere {
public:
    SigpipeBlockedHere() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeBlockedHere() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SigpipeBlockedHere(const SigpipeBlockedHere&) = delete;
    SigpipeBlockedHere& operator=(const SigpipeBlockedHere&) = delete;

    // Takes back the SIGPIPE our failed write raised, and only that one.
    void discardOurs() {
        if (!wasPending_) discardPendingSigpipe();
    }

private:
    sigset_t previous_;
    bool wasPending_ = false;
};

}  // namespace

Result<std::shared_ptr<BridgePipe>> BridgePipe::create(UniqueFd input, UniqueFd output) {
    UniqueFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake) {
        return Failure{"The TV helper could not be started: " + systemErrorText(errno) + "."};
    }
    // Non-blocking so that a poll that reported ready can never turn into a blocked call.
    setNonBlocking(input.get());
    setNonBlocking(output.get());
    return std::shared_ptr<BridgePipe>(
        new BridgePipe(std::move(input), std::move(output), std::move(wake)));
}

BridgePipe::BridgePipe(UniqueFd input, UniqueFd output, UniqueFd wake)
    : input_(std::move(input)), output_(std::move(output)), wake_(std::move(wake)) {
    // Our programs ignore SIGPIPE from the start (platform/Signals.hpp); then a write on the
    // loop thread needs no signal mask around it.
    struct sigaction current {};
    sigpipeIgnored_ = sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

BridgePipe::ReadResult BridgePipe::read(char* buffer, std::size_t capacity) {
    for (;;) {
        if (!output_) return {ReadStatus::failed};
        // Waiting first: lines arrive one at a time, so a read before it would mostly fail.
        if (!waitFor(output_.get(), POLLIN, wake_.get())) return {ReadStatus::woken};
        ssize_t n = ::read(output_.get(), buffer, capacity);
        if (n > 0) return {ReadStatus::data, static_cast<std::size_t>(n)};
        if (n == 0) return {ReadStatus::endOfFile};
        if (errno != EINTR && errno != EAGAIN) return {ReadStatus::failed};
    }
}

BridgePipe::WriteStatus BridgePipe::write(std::string_view data) {
    blockSigpipeOnThisThread();
    auto status = writeAll(data);
    queuedWrites_.fetch_sub(1, std::memory_order_release);
    return status;
}

BridgePipe::Partial BridgePipe::writeNow(std::string_view data) {
    Partial result;
    if (queuedWrites_.load(std::memory_order_acquire) != 0 || woken()) return result;
    if (!input_) return {true, 0};
    std::optional<SigpipeBlockedHere> blocked;
    if (!sigpipeIgnored_) blocked.emplace();
    while (result.written < data.size()) {
        ssize_t n =
            ::write(input_.get(), data.data() + result.written, data.size() - result.written);
        if (n > 0) {
            result.written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            break;
        } else {
            if (errno == EPIPE && blocked) blocked->discardOurs();
            result.failed = true;
            break;
        }
    }
    return result;
}

BridgePipe::WriteStatus BridgePipe::writeAll(std::string_view data) {
    while (!data.empty()) {
        if (woken()) return WriteStatus::woken;
        if (!input_) return WriteStatus::failed;
        ssize_t n = ::write(input_.get(), data.data(), data.size());
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            if (!waitFor(input_.get(), POLLOUT, wake_.get())) return WriteStatus::woken;
            continue;
        }
        if (n < 0 && errno == EPIPE) discardPendingSigpipe();
        return WriteStatus::failed;
    }
    return WriteStatus::written;
}

void BridgePipe::wake() {
    woken_.store(true, std::memory_order_release);
    std::uint64_t one = 1;
    // Can only fail when the counter is about to overflow, and then it is readable anyway.
    [[maybe_unused]] ssize_t n = ::write(wake_.get(), &one, sizeof one);
}

}  // namespace orvel

#include "app/ShutdownSignals.hpp"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <system_error>

namespace orvel {

ShutdownSignals::ShutdownSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
        error_ = "The quit signals cannot be blocked.";
        return;
    }
    fd_.reset(::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!fd_)
        error_ =
            "The quit signals cannot be watched (" + std::generic_category().message(errno) + ").";
}

CancelHandle ShutdownSignals::watch(const WatchReadable& watchReadable,
                                    std::function<void()> onSignal) {
    if (!fd_) return {};
    return watchReadable(fd_.get(), [fd = fd_.get(), onSignal = std::move(onSignal)] {
        signalfd_siginfo info{};
        bool received = false;
        // Drain: several signals may have arrived before the loop woke.
        while (::read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) received = true;
        if (received && onSignal) onSignal();
    });
}

}  // namespace orvel

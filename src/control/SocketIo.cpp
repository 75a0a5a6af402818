#include "control/SocketIo.hpp"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>

namespace orvel::SocketIo {
namespace {

using Clock = std::chrono::steady_clock;

double secondsUntil(Clock::time_point deadline) {
    return std::chrono::duration<double>(deadline - Clock::now()).count();
}

Clock::time_point deadlineAfter(double seconds) {
    // Far enough for any limit we use, near enough not to overflow the clock's range.
    constexpr double kLongest = 365.0 * 24 * 3600;
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(std::min(seconds, kLongest)));
}

int pollMilliseconds(double seconds) {
    if (seconds < 0) return -1;
    constexpr double kMax = 1e9;  // about 11 days; the caller loops
    return static_cast<int>(std::ceil(std::min(seconds * 1000.0, kMax)));
}

}  // namespace

Wait waitFor(int fd, short events, int wakeFd, double timeoutSeconds) {
    const bool limited = timeoutSeconds >= 0;
    const auto deadline = limited ? deadlineAfter(timeoutSeconds) : Clock::time_point{};
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        const nfds_t count = wakeFd >= 0 ? 2 : 1;
        const int ready =
            ::poll(fds, count, pollMilliseconds(limited ? secondsUntil(deadline) : -1));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return Wait::failed;
        }
        if (count == 2 && fds[1].revents != 0) return Wait::woken;
        if (fds[0].revents != 0) return Wait::ready;
        if (limited && secondsUntil(deadline) <= 0) return Wait::timedOut;
    }
}

bool sendAll(int fd, std::string_view bytes, double timeoutSeconds, int wakeFd) {
    const auto deadline = deadlineAfter(timeoutSeconds);
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const double left = secondsUntil(deadline);
            if (left <= 0 || waitFor(fd, POLLOUT, wakeFd, left) != Wait::ready) return false;
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace orvel::SocketIo

#include "ProgramRun.hpp"

#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include "Waiting.hpp"

namespace orvel::test {
namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      double seconds, const std::string& input) {
    const auto start = Clock::now();
    const auto deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    ProgramRun run;
    auto spawned = ChildProcess::spawn(program, arguments, ChildProcess::Errors::pipe);
    if (!spawned) {
        run.err = spawned.error();
        return run;
    }
    auto& child = *spawned;
    if (const UniqueFd in = child->takeStdin(); !input.empty()) {
        static_cast<void>(::write(in.get(), input.data(), input.size()));
    }
    UniqueFd streams[2] = {child->takeStdout(), child->takeStderr()};
    std::string* texts[2] = {&run.out, &run.err};
    while (streams[0] || streams[1]) {
        pollfd polled[2] = {{streams[0].get(), POLLIN, 0}, {streams[1].get(), POLLIN, 0}};
        if (::poll(polled, 2, millisecondsLeft(deadline)) <= 0) {
            run.err += program + " did not end in time\n";
            child->signal(SIGKILL);
            break;
        }
        for (int index : {0, 1}) {
            if (polled[index].revents == 0) continue;
            char chunk[4096];
            const ssize_t got = ::read(streams[index].get(), chunk, sizeof chunk);
            if (got > 0) {
                texts[index]->append(chunk, static_cast<std::size_t>(got));
            } else {
                streams[index].reset();
            }
        }
    }
    const int status = waitForExit(*child, static_cast<double>(millisecondsLeft(deadline)) / 1e3);
    run.status = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return run;
}

std::string readUntil(int fd, const std::string& wanted, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
    std::string text;
    while (wanted.empty() || text.find(wanted) == std::string::npos) {
        pollfd polled{fd, POLLIN, 0};
        if (::poll(&polled, 1, millisecondsLeft(deadline)) <= 0) break;
        char chunk[4096];
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    return text;
}

int waitForExit(ChildProcess& child, double seconds) {
    if (!child.isRunning()) return child.waitStatus();
    // A pidfd turns readable when the process ends, so the wait needs no polling; it is
    // opened with close-on-exec set.
    const UniqueFd ended(static_cast<int>(::syscall(SYS_pidfd_open, child.pid(), 0)));
    if (ended) {
        pollfd entry{ended.get(), POLLIN, 0};
        ::poll(&entry, 1, static_cast<int>(seconds * 1e3));
        // An ended process may take a moment to become reapable.
        eventually([&] { return !child.isRunning(); }, 0.1);
    } else {
        eventually([&] { return !child.isRunning(); }, seconds);
    }
    return child.isRunning() ? -1 : child.waitStatus();
}

}  // namespace orvel::test

// OrvelBridge: the TV bridge child process. Reads one JSON request per line on standard input,
// writes one JSON reply or event per line on standard output, and ends when its input ends,
// on SIGTERM or SIGINT, or when a fault script says so. Simulates TVs, or reaches real Roku TVs
// on the local network (see BridgeSetup).

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bridge/BridgeSetup.hpp"
#include "bridge/protocol/Dispatcher.hpp"
#include "platform/AppPaths.hpp"
#include "platform/PollLoop.hpp"
#include "platform/Signals.hpp"
#include "platform/SystemError.hpp"
#include "platform/UniqueFd.hpp"

namespace {

// Writes all of `bytes`; false when standard output is gone.
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

int main() {
    orvel::ignoreSigpipe();  // a closed stdout shows up as a failed write instead
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    orvel::UniqueFd signals(::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!signals) {
        static_cast<void>(std::fprintf(stderr, "OrvelBridge: cannot watch for signals (%s).\n",
                                       orvel::systemErrorText(errno).c_str()));
        return 1;
    }

    orvel::PollLoop loop;
    // NOLINTBEGIN(concurrency-mt-unsafe): no threads yet
    orvel::BridgeSetup::Settings settings{
        .simulate = std::getenv("ORVEL_SIMULATE"),
        .rokuHosts = std::getenv("ORVEL_ROKU_HOSTS"),
        .appleTVHosts = std::getenv("ORVEL_APPLETV_HOSTS"),
        .wakeBroadcast = std::getenv("ORVEL_WAKE_BROADCAST"),
        .commandLog = std::getenv("ORVEL_SIMULATE_LOG"),
        .stateFolder = orvel::AppPaths::dataFolder(orvel::AppPaths::processEnvironment()),
    };
    // NOLINTEND(concurrency-mt-unsafe)
    auto setup = orvel::BridgeSetup::choose(settings, loop);
    if (auto* error = std::get_if<std::string>(&setup)) {
        static_cast<void>(std::fprintf(stderr, "OrvelBridge: %s\n", error->c_str()));
        return 1;
    }
    auto& parts = std::get<orvel::BridgeSetup>(setup);

    int status = 0;
    auto finish = [&](int exitStatus) {
        status = exitStatus;
        loop.quit();
    };
    orvel::Dispatcher::Output output;
    output.writeLine = [&](std::string_view line) {
        std::string framed(line);
        framed += '\n';
        if (!writeAll(STDOUT_FILENO, framed)) finish(1);
    };
    output.exit = finish;
    auto dispatcher = orvel::Dispatcher::create(loop, std::move(parts.backend),
                                                std::move(parts.faults), std::move(output));

    auto inputWatch = loop.watchReadable(STDIN_FILENO, [&] {
        char chunk[65536];
        const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (count > 0) {
            dispatcher->receive(std::string_view(chunk, static_cast<std::size_t>(count)));
        } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
            finish(0);  // the application closed our input: its way of saying goodbye
        }
    });
    auto signalWatch = loop.watchReadable(signals.get(), [&] {
        signalfd_siginfo info{};
        [[maybe_unused]] auto ignored = ::read(signals.get(), &info, sizeof info);
        finish(0);
    });

    dispatcher->start();
    loop.run();
    return status;
}

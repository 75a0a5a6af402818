// One TV change fanned out to 16 `orvel --json watch` streams of a headless app with the
// simulated household. Each round starts `orvel launch netflix` or `orvel home` (turn about)
// and times, from that start, the first and the 16th watch line that follow; their difference
// is the fan-out itself. Prints p50/p99 of each.

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "HeadlessHarness.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWatches = 16;
constexpr int kRounds = 100;

struct Watch {
    std::unique_ptr<orvel::ChildProcess> process;
    orvel::UniqueFd out;
    int fd = -1;
};

// Reads what is there; false at end of stream or error.
bool drain(int fd) {
    char chunk[4096];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    return got > 0;
}

// Drains every watch until none speaks for `quietMs`.
void settle(std::vector<Watch>& watches, int quietMs) {
    std::vector<pollfd> polled;
    polled.reserve(watches.size());
    for (const auto& watch : watches) polled.push_back({watch.fd, POLLIN, 0});
    while (::poll(polled.data(), polled.size(), quietMs) > 0) {
        for (auto& entry : polled)
            if (entry.revents != 0) drain(entry.fd);
    }
}

}  // namespace

int main() {
    using namespace orvel::bench;
    HeadlessHarness app;
    if (!app.ready()) {
        static_cast<void>(
            std::fprintf(stderr, "the headless app did not connect to the simulated TV\n"));
        return 1;
    }
    std::vector<Watch> watches(kWatches);
    for (auto& watch : watches) {
        auto spawned = orvel::ChildProcess::spawn(ORVEL_TOOL_PATH, {"--json", "watch"});
        if (!spawned) return 1;
        watch.process = std::move(*spawned);
        watch.out = watch.process->takeStdout();
        watch.fd = watch.out.get();
    }
    // Every stream has said hello once nothing more comes for a while.
    settle(watches, 500);

    std::vector<double> first, last;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = Clock::now();
        std::vector<std::string> change{"home"};
        if (round % 2 == 0) change = {"launch", "netflix"};
        auto tool = orvel::ChildProcess::spawn(ORVEL_TOOL_PATH, change);
        if (!tool) return 1;
        std::vector<pollfd> polled;
        polled.reserve(watches.size());
        for (const auto& watch : watches) polled.push_back({watch.fd, POLLIN, 0});
        int heard = 0;
        while (heard < kWatches) {
            if (::poll(polled.data(), polled.size(), 5000) <= 0) {
                static_cast<void>(std::fprintf(stderr,
                                               "round %d: only %d of %d watches heard the change\n",
                                               round, heard, kWatches));
                return 1;
            }
            for (auto& entry : polled) {
                if (entry.fd < 0 || entry.revents == 0) continue;
                if (!drain(entry.fd)) return 1;
                const double ms = std::chrono::duration<double>(Clock::now() - start).count() * 1e3;
                if (++heard == 1) first.push_back(ms);
                if (heard == kWatches) last.push_back(ms);
                entry.fd = -1;  // poll skips it for the rest of the round
            }
        }
        orvel::test::waitForExit(**tool, 10);
        settle(watches, 50);
    }
    std::printf("change -> 1st watch line:  p50 %.3f ms, p99 %.3f ms (%d rounds)\n",
                percentile(first, 0.5), percentile(first, 0.99), kRounds);
    std::printf("change -> 16th watch line: p50 %.3f ms, p99 %.3f ms\n", percentile(last, 0.5),
                percentile(last, 0.99));
    std::vector<double> spread;
    for (std::size_t i = 0; i < first.size(); ++i) spread.push_back(last[i] - first[i]);
    std::printf("fan-out 1st -> 16th:       p50 %.3f ms, p99 %.3f ms\n", percentile(spread, 0.5),
                percentile(spread, 0.99));
    return 0;  // the watches are killed and reaped with their owners
}

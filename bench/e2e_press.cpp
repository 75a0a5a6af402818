// A press end to end, `orvel up` (tool -> app -> simulated bridge -> reply), next to
// `orvel --json tvs` (tool -> app -> reply, no bridge hop), interleaved in one run against one
// headless app, and the spawn and exit of a static C program that does nothing. Prints p50/p99
// of each, the bridge hop as the difference of the first two (target: <= 1 ms at p50), `orvel up`
// against the static program (target <= 2 at p50), then the app's peak resident set after 1,000
// commands (target <= 15 MiB).

#include <cstdio>
#include <vector>

#include "HeadlessHarness.hpp"

int main() {
    using namespace orvel::bench;
    constexpr int kRounds = 500;  // 2 x 500 = the 1,000 commands before the memory figure
    HeadlessHarness app;
    if (!app.ready()) {
        static_cast<void>(
            std::fprintf(stderr, "the headless app did not connect to the simulated TV\n"));
        return 1;
    }
    for (int i = 0; i < 20; ++i) runTool({"up"});  // warm caches and the server's workers
    std::vector<double> press, tvs, trivial;
    for (int i = 0; i < kRounds; ++i) {
        const ToolRun up = runTool({"up"});
        const ToolRun list = runTool({"--json", "tvs"});
        const ToolRun nothing = orvel::test::runProgram(TRIVIAL_STATIC_PATH, {}, 60);
        if (up.status != 0 || list.status != 0 || nothing.status != 0) {
            static_cast<void>(std::fprintf(stderr, "a run failed (up %d, tvs %d, static %d)\n",
                                           up.status, list.status, nothing.status));
            return 1;
        }
        press.push_back(up.seconds * 1e3);
        tvs.push_back(list.seconds * 1e3);
        trivial.push_back(nothing.seconds * 1e3);
    }
    const double pressP50 = percentile(press, 0.5), tvsP50 = percentile(tvs, 0.5);
    const double trivialP50 = percentile(trivial, 0.5);
    std::printf("orvel up:         p50 %.3f ms, p99 %.3f ms (%d runs)\n", pressP50,
                percentile(press, 0.99), kRounds);
    std::printf("orvel --json tvs: p50 %.3f ms, p99 %.3f ms (%d runs)\n", tvsP50,
                percentile(tvs, 0.99), kRounds);
    std::printf("bridge hop at p50: %+.3f ms, ratio up / tvs = %.2f (target <= 1 ms)\n",
                pressP50 - tvsP50, tvsP50 > 0 ? pressP50 / tvsP50 : 0.0);
    std::printf("static C program: p50 %.3f ms, p99 %.3f ms (%d runs)\n", trivialP50,
                percentile(trivial, 0.99), kRounds);
    std::printf("orvel up / static C program = %.2f (target <= 2)\n",
                trivialP50 > 0 ? pressP50 / trivialP50 : 0.0);
    const long peak = peakResidentKiB(app.pid());
    std::printf("app peak RSS (VmHWM) after %d commands: %.2f MiB (target <= 15 MiB)\n",
                2 * kRounds + 20, static_cast<double>(peak) / 1024.0);
    return 0;
}

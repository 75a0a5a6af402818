// One control request end to end: `orvel --json tvs` started as a process, against a minimal
// C client started the same way, both served by one ControlServer whose handler answers at
// once; then the server's throughput with eight concurrent in-process minimal clients.
// Prints p50/p99 of both and `ratio = orvel / minimal client` (p50; target <= 1.2).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../tests/support/ControlClient.hpp"
#include "../tests/support/LoopThread.hpp"
#include "../tests/support/ProgramRun.hpp"
#include "../tests/support/TempDataHome.hpp"
#include "control/ControlServer.hpp"

namespace {

std::string gSocketPath;
std::mutex gSamplesMutex;
std::vector<double> gToolSamples;
std::vector<double> gMinimalSamples;

// Runs the program to its end; the seconds from spawn to reaped exit.
double timedRun(const std::string& program, const std::vector<std::string>& arguments,
                benchmark::State& state) {
    const auto run = orvel::test::runProgram(program, arguments, 60);
    if (run.status != 0) state.SkipWithError(("could not run " + program).c_str());
    return run.seconds;
}

void record(std::vector<double>& samples, double seconds) {
    std::lock_guard lock(gSamplesMutex);
    samples.push_back(seconds);
}

void BM_OrvelJsonTvs(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = timedRun(ORVEL_TOOL_PATH, {"--json", "tvs"}, state);
        state.SetIterationTime(seconds);
        record(gToolSamples, seconds);
    }
}

void BM_MinimalClientProcess(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = timedRun(MINIMAL_CLIENT_PATH, {gSocketPath}, state);
        state.SetIterationTime(seconds);
        record(gMinimalSamples, seconds);
    }
}

// The minimal client's steps without a process around them.
bool roundTrip() {
    orvel::test::Client client(gSocketPath);
    if (!client.send("{\"command\":\"tvs\"}\n")) return false;
    client.endSending();
    return !client.readAll().empty();
}

void BM_MinimalClientThroughput(benchmark::State& state) {
    for (auto _ : state) {
        if (!roundTrip()) state.SkipWithError("round trip failed");
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_OrvelJsonTvs)->Iterations(300)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MinimalClientProcess)->Iterations(300)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MinimalClientThroughput)
    ->Threads(8)
    ->UseRealTime()
    ->MinTime(2.0)
    ->Unit(benchmark::kMicrosecond);

double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
    return samples[index];
}

}  // namespace

int main(int argc, char** argv) {
    orvel::test::TempDataHome home;  // orvel finds the socket through XDG_DATA_HOME
    gSocketPath = home.socketPath();
    auto loopThread = std::make_unique<orvel::test::LoopThread>();
    const nlohmann::json reply = {
        {"ok", true},
        {"tvs",
         {{{"name", "Living Room"}, {"kind", "Apple TV"}, {"selected", true}, {"connected", true}},
          {{"name", "Kitchen"}, {"kind", "Roku"}, {"selected", false}, {"connected", false}}}}};
    orvel::ControlServer server(
        loopThread->loop(), gSocketPath,
        [&reply](const nlohmann::json&, const orvel::ControlServer::Reply& answer) {
            answer(reply);
        });
    if (const auto error = server.start()) {
        static_cast<void>(std::fprintf(stderr, "control server: %s\n", error->c_str()));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double toolP50 = percentile(gToolSamples, 0.5) * 1e6;
    const double minimalP50 = percentile(gMinimalSamples, 0.5) * 1e6;
    std::printf("orvel --json tvs: p50 %.0f us, p99 %.0f us (%zu runs)\n", toolP50,
                percentile(gToolSamples, 0.99) * 1e6, gToolSamples.size());
    std::printf("minimal client:   p50 %.0f us, p99 %.0f us (%zu runs)\n", minimalP50,
                percentile(gMinimalSamples, 0.99) * 1e6, gMinimalSamples.size());
    if (minimalP50 > 0)
        std::printf("ratio = orvel / minimal client = %.2f (target <= 1.2)\n",
                    toolP50 / minimalP50);
    return 0;
}

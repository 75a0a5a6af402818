// One `tvs` round trip on the control socket with no other client, then the same while 200
// silent clients and 70 that trickle a byte every 200 ms hold connections open, against one
// ControlServer whose handler answers at once. Prints p50/p99 of both and
// `ratio = beside slow clients / alone` (p50; 1 means the slow clients cost nothing).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "../tests/support/ControlClient.hpp"
#include "../tests/support/LoopThread.hpp"
#include "../tests/support/TempDataHome.hpp"
#include "control/ControlServer.hpp"

namespace {

using Clients = std::vector<std::unique_ptr<orvel::test::Client>>;

std::string gSocketPath;
std::vector<double> gAloneSamples;
std::vector<double> gLoadedSamples;

// The seconds from connect to the end of the answer; negative when there was none.
double timedRoundTrip() {
    const auto start = std::chrono::steady_clock::now();
    orvel::test::Client client(gSocketPath);
    if (!client.send("{\"command\":\"tvs\"}\n")) return -1;
    client.endSending();
    if (client.readAll().empty() || !client.ended()) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void measure(benchmark::State& state, std::vector<double>& samples) {
    for (auto _ : state) {
        const double seconds = timedRoundTrip();
        if (seconds < 0) {
            state.SkipWithError("round trip failed");
            break;
        }
        state.SetIterationTime(seconds);
        samples.push_back(seconds);
    }
}

void BM_TvsAlone(benchmark::State& state) {
    measure(state, gAloneSamples);
}

void BM_TvsBesideSlowClients(benchmark::State& state) {
    Clients silent, trickling;
    for (int i = 0; i < 200; ++i)
        silent.push_back(std::make_unique<orvel::test::Client>(gSocketPath));
    for (int i = 0; i < 70; ++i) {
        trickling.push_back(std::make_unique<orvel::test::Client>(gSocketPath));
        trickling.back()->send("{");
    }
    std::jthread trickle([&](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            for (auto& client : trickling) client->send(" ");
        }
    });
    measure(state, gLoadedSamples);
}

// Interleaved, so that a machine busy for a moment weighs on both alike.
BENCHMARK(BM_TvsAlone)->Iterations(500)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TvsBesideSlowClients)->Iterations(500)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TvsAlone)->Iterations(500)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TvsBesideSlowClients)->Iterations(500)->UseManualTime()->Unit(benchmark::kMicrosecond);

double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
    return samples[index];
}

}  // namespace

int main(int argc, char** argv) {
    orvel::test::TempDataHome home;
    gSocketPath = home.socketPath();
    auto loopThread = std::make_unique<orvel::test::LoopThread>();
    const nlohmann::json reply = {{"ok", true},
                                  {"tvs", {{{"name", "Living Room"}, {"kind", "Apple TV"}}}}};
    // A request limit longer than the run: the slow clients stay connected throughout.
    orvel::ControlServer server(
        loopThread->loop(), gSocketPath,
        [&reply](const nlohmann::json&, const orvel::ControlServer::Reply& answer) {
            answer(reply);
        },
        {.requestTimeout = 600});
    if (const auto error = server.start()) {
        static_cast<void>(std::fprintf(stderr, "control server: %s\n", error->c_str()));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double aloneP50 = percentile(gAloneSamples, 0.5) * 1e6;
    const double loadedP50 = percentile(gLoadedSamples, 0.5) * 1e6;
    std::printf("tvs alone:               p50 %.0f us, p99 %.0f us (%zu runs)\n", aloneP50,
                percentile(gAloneSamples, 0.99) * 1e6, gAloneSamples.size());
    std::printf("tvs beside slow clients: p50 %.0f us, p99 %.0f us (%zu runs)\n", loadedP50,
                percentile(gLoadedSamples, 0.99) * 1e6, gLoadedSamples.size());
    if (aloneP50 > 0)
        std::printf("ratio = beside slow clients / alone = %.2f\n", loadedP50 / aloneP50);
    return 0;
}

// Round trips through ProcessBridgeClient against the scripted bridge in echo mode, next to a raw
// baseline in the same run: the same child over the same kind of pipe, driven by a bare
// write-a-line, read-a-line loop. Prints requests per second, p50 and p99 of each, and
// ratio = client / raw for p50 (the target is 2.0 or less).

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/ProcessBridgeClient.hpp"
#include "core/RandomUuid.hpp"
#include "platform/ChildProcess.hpp"
#include "platform/PollLoop.hpp"
#include "platform/Signals.hpp"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWarmUp = 1000;
constexpr int kRequests = 20000;
constexpr int kRounds = 3;

struct Samples {
    std::vector<double> micros;
    double seconds = 0;
    int count = 0;
};

double microsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

bool readLine(int fd, std::string& buffer, std::string& line) {
    for (;;) {
        auto newline = buffer.find('\n');
        if (newline != std::string::npos) {
            line.assign(buffer, 0, newline);
            buffer.erase(0, newline + 1);
            return true;
        }
        char chunk[65536];
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool measureRaw(Samples& samples) {
    auto child = orvel::ChildProcess::spawn(ORVEL_SCRIPTED_BRIDGE, {"echo"});
    if (!child) {
        static_cast<void>(std::fprintf(stderr, "%s\n", child.error().c_str()));
        return false;
    }
    auto in = (*child)->takeStdin();
    auto out = (*child)->takeStdout();
    std::string buffer, line;
    if (!readLine(out.get(), buffer, line)) return false;  // "ready"
    const std::string request =
        nlohmann::json{{"op", "command"}, {"action", "up"}, {"id", orvel::randomUuid()}}.dump() +
        "\n";
    auto roundStart = Clock::now();
    for (int i = 0; i < kWarmUp + kRequests; ++i) {
        if (i == kWarmUp) roundStart = Clock::now();
        auto start = Clock::now();
        if (!writeAll(in.get(), request) || !readLine(out.get(), buffer, line)) return false;
        if (i >= kWarmUp) samples.micros.push_back(microsSince(start));
    }
    samples.seconds += std::chrono::duration<double>(Clock::now() - roundStart).count();
    samples.count += kRequests;
    return true;
}

bool measureClient(Samples& samples) {
    orvel::PollLoop loop;
    orvel::ProcessBridgeClient client(loop, [] {
        return orvel::ProcessBridgeClient::Configuration{ORVEL_SCRIPTED_BRIDGE, {"echo"}};
    });
    bool ok = true;
    int sent = 0;
    Clock::time_point roundStart;
    std::function<void()> next = [&] {
        if (sent == kWarmUp) roundStart = Clock::now();
        if (sent == kWarmUp + kRequests) {
            samples.seconds += std::chrono::duration<double>(Clock::now() - roundStart).count();
            samples.count += kRequests;
            loop.quit();
            return;
        }
        bool measured = sent >= kWarmUp;
        ++sent;
        auto start = Clock::now();
        client.request(
            "command", {{"action", "up"}}, 28.0, [&, start, measured](const auto& reply) {
                if (reply.contains("error")) {
                    static_cast<void>(std::fprintf(
                        stderr, "%s\n", reply["error"].template get<std::string>().c_str()));
                    ok = false;
                    loop.quit();
                    return;
                }
                if (measured) samples.micros.push_back(microsSince(start));
                next();
            });
    };
    client.setOnEvent([&](const nlohmann::json& event) {
        if (event.value("event", "") == "ready") next();
    });
    if (auto error = client.start()) {
        static_cast<void>(std::fprintf(stderr, "%s\n", error->c_str()));
        return false;
    }
    loop.run();
    client.stop();
    return ok;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[index];
}

void print(const char* name, const Samples& samples) {
    std::printf("%-7s %9.0f requests/s   p50 %7.1f us   p99 %7.1f us\n", name,
                samples.count / samples.seconds, percentile(samples.micros, 0.50),
                percentile(samples.micros, 0.99));
}

}  // namespace

int main() {
    orvel::ignoreSigpipe();
    Samples raw, client;
    for (int round = 0; round < kRounds; ++round) {
        if (!measureRaw(raw) || !measureClient(client)) return 1;
    }
    std::printf("bridge round trip: %d rounds of %d requests each, echo test bridge\n", kRounds,
                kRequests);
    print("raw", raw);
    print("client", client);
    std::printf("ratio = client / raw (p50) = %.2f\n",
                percentile(client.micros, 0.5) / percentile(raw.micros, 0.5));
    return 0;
}

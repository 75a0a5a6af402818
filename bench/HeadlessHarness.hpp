#pragma once
// HeadlessHarness: OrvelRemote --headless started for a benchmark on a HeadlessProfile (the
// simulated household, or loopback Rokus), timed runs of the orvel tool against it, and the
// figures the benchmarks print. The app is killed and reaped when the harness goes. Loopback
// and Unix sockets only.

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../tests/support/HeadlessProfile.hpp"
#include "../tests/support/ProgramRun.hpp"

namespace orvel::bench {

using ToolRun = test::ProgramRun;

// One orvel run from spawn to reaped exit, its output collected.
inline ToolRun runTool(const std::vector<std::string>& arguments) {
    return test::runProgram(ORVEL_TOOL_PATH, arguments, 60);
}

inline double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

// Peak resident set of a process in KiB (VmHWM), -1 when unreadable.
inline long peakResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:")) return std::atol(line.c_str() + 6);
    return -1;
}

class HeadlessHarness {
public:
    // Without `rokuHosts` the app runs against the simulated household; with it, against the
    // Rokus at those loopback addresses, with `tvID` paired and selected.
    explicit HeadlessHarness(const std::string& tvID = "roku:sim-bedroom",
                             const std::string& rokuHosts = {})
        : profile_(tvID) {
        if (!rokuHosts.empty()) profile_.useRokus(rokuHosts);
        app_ = profile_.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH);
    }
    bool ready() const { return app_ != nullptr; }  // the app runs and its TV is connected
    pid_t pid() const { return app_ ? app_->pid() : -1; }

private:
    test::HeadlessProfile profile_;
    std::unique_ptr<ChildProcess> app_;
};

}  // namespace orvel::bench

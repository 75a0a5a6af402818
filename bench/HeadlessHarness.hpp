#pragma once
// HeadlessHarness: OrvelRemote --headless started for a benchmark with the simulated household,
// the Bedroom TV paired and selected, every folder in a scratch directory; runs of the orvel tool
// against it, timed. Stops and reaps the app when it goes. Loopback and Unix sockets only.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "../tests/platform/ScratchDir.hpp"
#include "../tests/support/ChildProcesses.hpp"

extern char** environ;

namespace orvel::bench {

struct ToolRun {
    int status = -1;  // exit status; -1 when it could not run or was killed
    double seconds = 0;
    std::string out;
};

inline double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

// Spawns `words` with stdout on a pipe (or the file `outFile`); the pid, -1 on failure.
inline pid_t spawnProgram(std::vector<std::string> words, int outFd) {
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// One orvel run from spawn to reaped exit, its output collected.
inline ToolRun runTool(const std::vector<std::string>& arguments) {
    std::vector<std::string> words{ORVEL_TOOL_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    ToolRun run;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = spawnProgram(words, out[1]);
    ::close(out[1]);
    char chunk[4096];
    for (ssize_t got; pid > 0 && (got = ::read(out[0], chunk, sizeof chunk)) > 0;)
        run.out.append(chunk, static_cast<std::size_t>(got));
    ::close(out[0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
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
                             const std::string& rokuHosts = {}) {
        testing::ScratchDir::write(dir_ / "config/Orvel Remote/defaults.json",
                                   R"({"pairedDevices": [{"id": ")" + tvID +
                                       R"(", "name": "Bedroom TV", "protocols": []}],
                                       "lastDevice": ")" +
                                       tvID + R"("})");
        ::setenv("HOME", dir_.path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        if (rokuHosts.empty()) {
            ::setenv("ORVEL_SIMULATE", "1", 1);
        } else {
            ::unsetenv("ORVEL_SIMULATE");
            ::setenv("ORVEL_ROKU_HOSTS", rokuHosts.c_str(), 1);
        }
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir_ / "no-bus").c_str(), 1);
        const int log = ::open((dir_ / "app.log").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        pid_ = spawnProgram({ORVEL_APP_PATH, "--headless"}, log);
        ::close(log);
        ready_ = pid_ > 0 && test::eventually(
                                 [] {
                                     const auto run = runTool({"status"});
                                     return run.status == 0 &&
                                            run.out.find("not connected") == std::string::npos;
                                 },
                                 20);
    }
    ~HeadlessHarness() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        if (!test::eventually([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, 10)) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
    }
    HeadlessHarness(const HeadlessHarness&) = delete;
    HeadlessHarness& operator=(const HeadlessHarness&) = delete;

    bool ready() const { return ready_; }  // the app runs and its TV is connected
    pid_t pid() const { return pid_; }
    const testing::ScratchDir& dir() const { return dir_; }

private:
    testing::ScratchDir dir_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace orvel::bench

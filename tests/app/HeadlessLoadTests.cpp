// OrvelRemote --headless under load from many orvel processes at once: every command answered
// exactly once, watch streams live throughout, and the app's descriptors and threads back where
// they started once the load and the watches are gone.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "../support/HeadlessAppFixture.hpp"

namespace orvel::test {
namespace {

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
using HeadlessLoad = HeadlessApp;

constexpr int kWatches = 16;

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The two commands of the mix: a listing the app answers itself, and a press the bridge takes.
std::vector<std::string> commandFor(bool press) {
    return press ? std::vector<std::string>{"up"} : std::vector<std::string>{"--json", "status"};
}

// What is wrong with a run's answer; empty when it is exactly one complete answer.
std::string answerFault(bool press, const ProgramRun& run) {
    const std::string what = press ? "up" : "status";
    if (run.status != 0 || !run.err.empty())
        return what + " ended with " + std::to_string(run.status) + ": " + run.err;
    if (press) return run.out.empty() ? "" : "up printed " + run.out;
    if (lineCount(run.out) != 1 || !run.out.ends_with("\n")) return "status printed " + run.out;
    const auto reply = nlohmann::json::parse(run.out, nullptr, false);
    if (!reply.is_object() || !reply.value("ok", false)) return "status answered " + run.out;
    return "";
}

TEST_F(HeadlessLoad, ManyCommandsBesideSixteenWatchesAndNothingLeftBehind) {
    launch();
    const pid_t pid = app->pid();
    const int startFds = procEntries(pid, "fd");
    const int startThreads = procEntries(pid, "task");
    ASSERT_GT(startFds, 0);
    ASSERT_GT(startThreads, 0);

    std::vector<std::unique_ptr<RunningProgram>> watches;
    std::vector<std::string> logs;
    for (int i = 0; i < kWatches; ++i) {
        logs.push_back(dir / ("watch" + std::to_string(i) + ".log"));
        watches.push_back(std::make_unique<RunningProgram>(
            ORVEL_TOOL_PATH, std::vector<std::string>{"--json", "watch"}, logs.back()));
    }
    for (const auto& log : logs) {
        ASSERT_TRUE(eventually([&] {
            return testing::ScratchDir::read(log).find("\"ok\":true") != std::string::npos;
        })) << log;
    }

    std::vector<std::string> faults;
    std::mutex faultsMutex;
    // Half the senders press: the app takes at most four presses at once and refuses a fifth.
    std::vector<std::thread> senders;
    for (int sender = 0; sender < 8; ++sender) {
        senders.emplace_back([&, press = sender < 4] {
            for (int i = 0; i < 50; ++i) {
                const std::string fault = answerFault(press, tool(commandFor(press), 20));
                std::lock_guard lock(faultsMutex);
                if (!fault.empty()) faults.push_back(fault);
            }
        });
    }
    for (auto& sender : senders) sender.join();
    EXPECT_TRUE(faults.empty()) << faults.size() << " faulty answers, first: " << faults.front();

    // A change after all that still reaches every watch.
    std::vector<std::size_t> before;
    for (const auto& log : logs) before.push_back(lineCount(testing::ScratchDir::read(log)));
    ASSERT_EQ(tool({"launch", "netflix"}).status, 0);
    for (int i = 0; i < kWatches; ++i) {
        EXPECT_TRUE(eventually([&] {
            return lineCount(testing::ScratchDir::read(logs[i])) > before[i];
        })) << logs[i];
    }
    for (auto& watch : watches) EXPECT_TRUE(watch->running());

    for (auto& watch : watches) watch->signal(SIGTERM);
    for (auto& watch : watches) watch->waitForExit(10);
    // The server notices a watch's end at its next check, and idle workers end a little later.
    // The start may have held an idle worker too, so fewer is fine; more is a leak.
    int fds = 0, threads = 0;
    EXPECT_TRUE(eventually(
        [&] {
            fds = procEntries(pid, "fd");
            threads = procEntries(pid, "task");
            return fds <= startFds && threads <= startThreads;
        },
        15))
        << "descriptors " << startFds << " -> " << fds << ", threads " << startThreads << " -> "
        << threads;
    EXPECT_TRUE(app->running());
}
#endif

}  // namespace
}  // namespace orvel::test

// OrvelRemote --headless and the built orvel tool as real processes, every folder in a scratch
// directory and the simulated household: the control socket from launch to quit, and the
// bridge child the app keeps running.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "../platform/ScratchDir.hpp"
#include "../support/HeadlessAppFixture.hpp"

namespace orvel::test {
namespace {

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
const std::string kNotRunning = "orvel: Orvel Remote isn't running. Open it first.\n";

// The Bedroom TV saved as paired and last used, as Scripts/run sets it up; each test starts
// and stops the app itself.
class HeadlessControl : public HeadlessApp {
protected:
    void useDataHome(const std::string& folder) {
        environment.set("XDG_DATA_HOME", folder);
        socket = folder + "/Orvel Remote/control.sock";
    }

    std::unique_ptr<RunningProgram> startApp() {
        auto started = std::make_unique<RunningProgram>(
            ORVEL_APP_PATH, std::vector<std::string>{"--headless"}, log());
        EXPECT_TRUE(started->started());
        return started;
    }

    // The app answers on its socket (whatever it answers).
    bool reachable() { return tool({"status"}).status != 3; }

    std::string log() const { return dir / "app.log"; }
    bool socketExists() const { return std::filesystem::exists(socket); }

    std::string socket = dir / "data/Orvel Remote/control.sock";
};

TEST_F(HeadlessControl, ServesTheSocketUntilTerminatedAndReplacesOneAKilledAppLeft) {
    EXPECT_EQ(tool({"status"}).err, kNotRunning);
    {
        auto app = startApp();
        ASSERT_TRUE(eventually([&] { return socketExists(); }));
        app->signal(SIGKILL);
        app->waitForExit(10);
    }
    ASSERT_TRUE(socketExists()) << "a killed app cannot remove its socket";
    EXPECT_EQ(tool({"status"}).status, 3) << "nobody listens on the stale socket";

    for (int signo : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signo);
        auto app = startApp();
        ASSERT_TRUE(eventually([&] { return reachable(); }));
        struct stat info {};
        ASSERT_EQ(::stat(socket.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);

        app->signal(signo);
        const int status = app->waitForExit(10);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_FALSE(socketExists()) << "quitting left the socket file";
        const auto after = tool({"status"});
        EXPECT_EQ(after.status, 3);
        EXPECT_EQ(after.err, kNotRunning);
    }
}

TEST_F(HeadlessControl, RunsOnWithoutTheSocketWhenItCannotStart) {
    // Too long for a socket address, fine for every other file.
    useDataHome(dir / std::string(120, 'd'));
    auto app = startApp();
    ASSERT_TRUE(eventually(
        [&] { return testing::ScratchDir::read(log()).find(")\n") != std::string::npos; }));
    const std::string logged = testing::ScratchDir::read(log());
    EXPECT_EQ(logged.rfind("Orvel: the orvel command is unavailable (", 0), 0u) << logged;
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;

    // Still the app: it runs its bridge and quits cleanly.
    EXPECT_TRUE(eventually([&] { return childrenNamed(app->pid(), "OrvelBridge").size() == 1; }));
    EXPECT_TRUE(app->running());
    EXPECT_FALSE(socketExists());
    app->signal(SIGTERM);
    const int status = app->waitForExit(10);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(HeadlessControl, RestartsADeadBridgeAndStopsItOnQuit) {
    // The first bridge dies a second into the launch scan, after the app chose the TV to
    // reconnect to; a restarted bridge is never asked to scan, so the second one stays.
    useHousehold(R"({
        "tvs": [{"id": "roku:sim-bedroom", "name": "Bedroom TV"}],
        "faults": [{"op": "scan", "delay": 1, "exit": 3}]})");
    auto app = startApp();
    // One look at /proc per check: the list may change between two looks.
    pid_t first = 0, second = 0;
    auto onlyBridge = [&](pid_t& pid) {
        const auto found = childrenNamed(app->pid(), "OrvelBridge");
        pid = found.size() == 1 ? found[0] : 0;
        return pid != 0;
    };
    ASSERT_TRUE(eventually([&] { return onlyBridge(first); }));
    // The retry comes 5 seconds after the bridge's end, or 10 when the connect request was
    // already under way (its failure counts as a failed attempt).
    ASSERT_TRUE(eventually([&] { return onlyBridge(second) && second != first; }, 30));

    app->signal(SIGTERM);
    const int status = app->waitForExit(10);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(eventually([&] { return ::kill(second, 0) != 0; }))
        << "the bridge does not outlive the app";
}
#endif

}  // namespace
}  // namespace orvel::test

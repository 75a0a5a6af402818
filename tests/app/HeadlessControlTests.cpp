// OrvelRemote --headless and the built orvel tool as real processes, every folder in a scratch
// directory and the simulated household: the control socket from launch to quit.

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
    void SetUp() override {
        HeadlessApp::SetUp();
        useDataHome(dir / "data");
    }

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

    std::string socket;
};

TEST_F(HeadlessControl, ServesTheSocketUntilTerminatedThenRemovesIt) {
    EXPECT_EQ(tool({"status"}).err, kNotRunning);
    for (int signo : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signo);
        auto app = startApp();
        ASSERT_TRUE(eventually([&] { return socketExists(); }));
        struct stat info {};
        ASSERT_EQ(::stat(socket.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        EXPECT_TRUE(reachable());

        app->signal(signo);
        const int status = app->waitForExit(10);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_FALSE(socketExists()) << "quitting left the socket file";
        const auto after = tool({"status"});
        EXPECT_EQ(after.status, 3);
        EXPECT_EQ(after.err, kNotRunning);
    }
}

TEST_F(HeadlessControl, ARestartReplacesTheSocketAKilledAppLeftBehind) {
    {
        auto app = startApp();
        ASSERT_TRUE(eventually([&] { return socketExists(); }));
        app->signal(SIGKILL);
        app->waitForExit(10);
    }
    ASSERT_TRUE(socketExists()) << "a killed app cannot remove its socket";
    EXPECT_EQ(tool({"status"}).status, 3) << "nobody listens on the stale socket";

    auto app = startApp();
    EXPECT_TRUE(eventually([&] { return reachable(); }));
    app->signal(SIGTERM);
    EXPECT_GE(app->waitForExit(10), 0);
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
#endif

}  // namespace
}  // namespace orvel::test

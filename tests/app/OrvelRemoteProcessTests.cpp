// OrvelRemote --headless and the orvel tool as the built programs, with a HeadlessProfile:
// the launch, a round trip through the tool, and quitting on each signal.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "../support/HeadlessProfile.hpp"
#include "../support/ProcessInspection.hpp"
#include "../support/ProgramRun.hpp"
#include "../support/Waiting.hpp"

namespace orvel::test {
namespace {

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
const std::string kNotRunning = "orvel: Orvel Remote isn't running. Open it first.\n";

ProgramRun tool(const std::vector<std::string>& arguments) {
    return runProgram(ORVEL_TOOL_PATH, arguments, 40);
}

TEST(OrvelRemoteProcess, ConnectsAnswersTheToolAndQuitsOnEitherSignal) {
    HeadlessProfile profile;
    EXPECT_EQ(tool({"status"}).err, kNotRunning);
    for (int signo : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signo);
        auto app = profile.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH);
        ASSERT_TRUE(app) << "the app did not connect to the Bedroom TV";
        const auto tvs = tool({"tvs"});
        EXPECT_EQ(tvs.status, 0);
        EXPECT_TRUE(tvs.out.starts_with("* Bedroom TV — Roku")) << tvs.out;
        const auto bridges = childrenNamed(app->pid(), "OrvelBridge");
        ASSERT_EQ(bridges.size(), 1u);

        app->signal(signo);
        const int status = waitForExit(*app, 10);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_FALSE(std::filesystem::exists(profile.socketPath())) << "quitting left the socket";
        EXPECT_TRUE(eventually([&] { return ::kill(bridges[0], 0) != 0; }))
            << "the bridge outlived the app";
        const auto after = tool({"status"});
        EXPECT_EQ(after.status, 3);
        EXPECT_EQ(after.err, kNotRunning);
    }
}

TEST(OrvelRemoteProcess, ASecondAppOnTheSameProfileSaysSoAndTheFirstServesOn) {
    HeadlessProfile profile;
    auto first = profile.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH);
    ASSERT_TRUE(first) << "the app did not connect to the Bedroom TV";
    const auto second = runProgram(ORVEL_APP_PATH, {"--headless"}, 20);
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err, "Orvel Remote is already running.\n");
    EXPECT_EQ(tool({"tvs"}).status, 0);
    first->signal(SIGTERM);
    EXPECT_EQ(waitForExit(*first, 10), 0);
    EXPECT_FALSE(std::filesystem::exists(profile.socketPath()));
}
#endif

}  // namespace
}  // namespace orvel::test

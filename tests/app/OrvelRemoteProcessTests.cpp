// OrvelRemote --headless and the orvel tool as the built programs, with a HeadlessProfile:
// the launch, a round trip through the tool, quitting on each signal, the launches that end
// at once, and giving up without a socket.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/HeadlessProfile.hpp"
#include "../support/ProcessInspection.hpp"
#include "../support/ProgramRun.hpp"
#include "../support/ScopedEnvironment.hpp"
#include "../support/ScratchDir.hpp"
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

TEST(OrvelRemoteProcess, AnswersItsCommandLineBeforeTouchingAnything) {
    HeadlessProfile profile;  // the full app would find a TV to connect to
    const ScratchDir untouched;
    ScopedEnvironment environment;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        environment.set(name, untouched.path());
    const std::string usage =
        "OrvelRemote: Unknown argument \"--bogus\"; see OrvelRemote --help.\n";
    const std::string demo =
        "OrvelRemote: --demo cannot run with --headless; for simulated TVs, "
        "run with ORVEL_SIMULATE=1.\n";
    struct Row {
        std::vector<std::string> arguments;
        int status;
        std::string out;  // what standard output starts with
        std::string err;
    };
    const Row rows[] = {
        {{"--help"}, 0, "Usage: OrvelRemote [--headless]", ""},
        {{"--version"}, 0, "OrvelRemote " ORVEL_EXPECTED_VERSION "\n", ""},
        {{"--headless", "--bogus"}, 2, "", usage},
        {{"--headless", "--demo"}, 2, "", demo},
        {{"--demo"},
         1,
         "",
         "OrvelRemote: The demo mode needs the remote's interface, which needs a display; for "
         "simulated TVs without one, run with ORVEL_SIMULATE=1.\n"},
        {{"--render-icon", untouched / "icons"},
         1,
         "",
         "OrvelRemote: Icon rendering is not available yet.\n"},
        {{"--render-previews", untouched / "previews", "--headless"},
         1,
         "",
         "OrvelRemote: Preview rendering is not available yet.\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        const auto run = runProgram(ORVEL_APP_PATH, row.arguments, 10);
        EXPECT_EQ(run.status, row.status);
        EXPECT_TRUE(run.out.starts_with(row.out)) << run.out;
        if (row.out.ends_with('\n')) {
            EXPECT_EQ(run.out, row.out);
        }
        EXPECT_EQ(run.err, row.err);
        EXPECT_TRUE(std::filesystem::is_empty(untouched.path())) << "the launch wrote a file";
    }
}

TEST(OrvelRemoteProcess, GivesUpWhenItsSocketCannotStart) {
    HeadlessProfile profile;
    ScratchDir::write(profile.dir() / "taken", "a file where the data folder goes");
    profile.useDataHome(profile.dir() / "taken");
    const auto run = runProgram(ORVEL_APP_PATH, {"--headless"}, 20);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("Orvel: the orvel command is unavailable (")) << run.err;
    EXPECT_TRUE(run.err.ends_with(")\n")) << run.err;
    EXPECT_EQ(run.out, "") << "an app without its socket said it was ready";
}
#endif

}  // namespace
}  // namespace orvel::test

// The programs as `cmake --install` lays them out in a prefix of the test's own: the installed
// app finds its installed bridge and serves the installed tool; without the bridge it says so.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>

#include "../support/HeadlessProfile.hpp"
#include "../support/ProgramRun.hpp"
#include "session/BridgeLocation.hpp"
#include "shell/Acknowledgements.hpp"

namespace orvel::test {
namespace {

#if defined(ORVEL_CMAKE_COMMAND) && defined(ORVEL_BUILD_TREE)
class InstalledApp : public ::testing::Test {
protected:
    void SetUp() override {
        // Found beside the app or through these, the bridge would not be the installed one.
        environment.unset("ORVEL_PYTHON");
        environment.unset("ORVEL_BRIDGE");
        const auto run = runProgram(ORVEL_CMAKE_COMMAND,
                                    {"--install", ORVEL_BUILD_TREE, "--prefix", prefix}, 120);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        // The entry names the application to the desktop and its portals.
        for (const auto& installed : {app, tool, bridge, entry, notices})
            ASSERT_TRUE(std::filesystem::exists(installed)) << installed;
    }

    HeadlessProfile profile;
    ScopedEnvironment environment;
    const std::string prefix = profile.dir() / "prefix";
    const std::string app = prefix + "/bin/OrvelRemote";
    const std::string tool = prefix + "/bin/orvel";
    const std::string bridge = prefix + "/libexec/orvel-remote/OrvelBridge";
    const std::string entry = prefix + "/share/applications/quillon.orvel.Remote.desktop";
    const std::string notices = prefix + "/share/doc/orvel-remote/THIRD_PARTY_NOTICES.txt";
};

TEST_F(InstalledApp, ServesTheInstalledToolFindsItsNoticesAndSaysWhenItsBridgeIsMissing) {
    const std::string text = Acknowledgements::text(prefix + "/bin");
    EXPECT_EQ(text, ScratchDir::read(notices));
    EXPECT_TRUE(text.starts_with("Orvel Remote: third-party notices")) << text.substr(0, 80);

    auto running = profile.launch(app, tool);
    ASSERT_TRUE(running) << "the installed app did not connect to the Bedroom TV";
    const auto tvs = runProgram(tool, {"tvs"});
    EXPECT_EQ(tvs.status, 0) << tvs.err;
    EXPECT_TRUE(tvs.out.starts_with("* Bedroom TV — Roku")) << tvs.out;
    running->signal(SIGTERM);
    EXPECT_EQ(waitForExit(*running, 10), 0);

    // Without its bridge it still serves the tool, and says what is missing.
    std::filesystem::remove(bridge);
    auto launched = ChildProcess::spawn(app, {"--headless"}, ChildProcess::Errors::pipe);
    ASSERT_TRUE(launched) << launched.error();
    running = std::move(*launched);
    const UniqueFd out = running->takeStdout();
    const UniqueFd err = running->takeStderr();
    const std::string ready = readUntil(out.get(), "\n", 20);
    EXPECT_EQ(ready, "Orvel Remote is ready: orvel reaches it at " + profile.socketPath() + ".\n");

    const std::string missing(BridgeLocation::kMissingMessage);
    const auto status = runProgram(tool, {"status"});
    EXPECT_EQ(status.status, 0) << status.err;
    EXPECT_EQ(status.out, "Bedroom TV — Roku · not connected · " + missing + "\n");

    running->signal(SIGTERM);
    EXPECT_EQ(readUntil(out.get(), "\n", 10), "Orvel Remote has quit.\n");
    EXPECT_EQ(waitForExit(*running, 10), 0);
    EXPECT_EQ(readUntil(err.get(), "", 5), "OrvelRemote: " + missing + "\n");
}
#endif

}  // namespace
}  // namespace orvel::test

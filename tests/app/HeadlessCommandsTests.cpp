// The orvel tool driving OrvelRemote --headless end to end: the simulated Bedroom TV paired
// and selected, every folder in a scratch directory. Real processes; every wait is bounded.
// The tool still gets one answer in bounded time when the bridge is killed or stops answering.

#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include <nlohmann/json.hpp>

#include "../support/HeadlessAppFixture.hpp"

namespace orvel::test {
namespace {

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
using HeadlessCommands = HeadlessApp;

TEST_F(HeadlessCommands, EachCommandWithAndWithoutNamingTheTV) {
    launch();
    struct Row {
        std::vector<std::string> arguments;
        int status;
        std::string out;  // see printed()
        std::string err;
    };
    const Row rows[] = {
        {{"tvs"}, 0, "* Bedroom TV — Roku…", ""},
        {{"status"}, 0, "Bedroom TV — Roku…", ""},
        {{"up", "3"}, 0, "", ""},
        // An app in front, nothing playing: its search field takes the text.
        {{"launch", "netflix"}, 0, "", ""},
        {{"type", "the bear"}, 0, "", ""},
        {{"--json", "status"}, 0, "{…", ""},
        {{"nowplaying"}, 0, "…", ""},
        {{"open"}, 0, "", ""},
        {{"--tv", "nowhere", "status"}, 1, "", "orvel: …"},
        {{"--tv", "nowhere", "--json", "status"}, 1, "{…", ""},
        {{"frobnicate"}, 2, "", "orvel: …"},
        {{"power"}, 0, "", ""},
    };
    for (const auto& row : rows) {
        for (bool named : {false, true}) {
            auto arguments = row.arguments;
            if (named && arguments[0] != "--tv")
                arguments.insert(arguments.begin(), {"--tv", "bedroom"});
            SCOPED_TRACE(::testing::PrintToString(arguments));
            const auto run = tool(arguments);
            EXPECT_EQ(run.status, row.status);
            EXPECT_TRUE(printed(run.out, row.out)) << run.out;
            EXPECT_TRUE(printed(run.err, row.err)) << run.err;
            if (row.out == "{…") {
                const auto reply = nlohmann::json::parse(run.out, nullptr, false);
                EXPECT_EQ(reply.value("ok", false), row.status == 0) << run.out;
            }
        }
    }
    const auto apps = tool({"apps"});
    EXPECT_EQ(apps.status, 0);
    EXPECT_NE(apps.out.find("Netflix\n"), std::string::npos) << apps.out;
}

TEST_F(HeadlessCommands, AWatchEndsWithStatusThreeWhenTheAppIsKilled) {
    launch();
    RunningProgram watch(ORVEL_TOOL_PATH, {"--json", "watch"}, dir / "watch.log");
    ASSERT_TRUE(eventually([&] {
        return testing::ScratchDir::read(dir / "watch.log").find("\"ok\":true") !=
               std::string::npos;
    }));
    app->signal(SIGKILL);
    const int status = watch.waitForExit(10);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
    const std::string logged = testing::ScratchDir::read(dir / "watch.log");
    EXPECT_NE(logged.find("orvel: Orvel Remote quit.\n"), std::string::npos) << logged;
}

TEST_F(HeadlessCommands, PressesEndWithTheHelperMessageWhenTheBridgeIsKilled) {
    // Presses take long enough that the bridge dies under one.
    useHousehold(R"({
        "tvs": [{"id": "roku:sim-bedroom", "name": "Bedroom TV"}],
        "faults": [{"op": "command", "delay": 30}]})");
    launch();
    const auto bridges = childrenNamed(app->pid(), "OrvelBridge");
    ASSERT_EQ(bridges.size(), 1u);
    const long long before = bridgeReadCount(bridges[0]);

    RunningProgram presses(ORVEL_TOOL_PATH, {"up", "5"}, dir / "presses.log");
    ASSERT_TRUE(eventually([&] { return bridgeReadCount(bridges[0]) > before; }));
    ::kill(bridges[0], SIGKILL);

    const int status = presses.waitForExit(20);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    const std::string logged = testing::ScratchDir::read(dir / "presses.log");
    EXPECT_TRUE(printed(logged, "orvel: The TV connection helper stopped.…")) << logged;
}
// Takes about half a minute of real time (the app's own time-outs): the only test of its kind.
TEST_F(HeadlessCommands, APressTheBridgeNeverAnswersEndsInATimeOutMessage) {
    useHousehold(R"({
        "tvs": [{"id": "roku:sim-bedroom", "name": "Bedroom TV"}],
        "faults": [{"op": "command", "noReply": true}]})");
    launch();
    // Whichever time-out comes first answers: the bridge request's or the server's.
    const auto run = tool({"up"}, 45);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err == "orvel: The TV did not respond. Reconnect to try again.\n" ||
                run.err == "orvel: The TV didn't answer in time.\n")
        << run.err;
    EXPECT_TRUE(app->running());
    EXPECT_EQ(tool({"tvs"}).status, 0);
}
#endif

}  // namespace
}  // namespace orvel::test

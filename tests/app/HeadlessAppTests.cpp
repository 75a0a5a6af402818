// The headless app in the test's process with the simulated household: the commands of the
// tool against the real session and bridge, the control socket from launch to quit, and the
// bridge child it keeps and stops.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "../support/ProcessInspection.hpp"
#include "InProcessApp.hpp"

namespace orvel::test {
namespace {

#ifdef ORVEL_BRIDGE_DIR
using HeadlessApp = InProcessApp;

std::vector<pid_t> bridges() {
    return childrenNamed(::getpid(), "OrvelBridge");
}

TEST_F(HeadlessApp, EachCommandWithAndWithoutNamingTheTV) {
    launchConnected();
    struct Row {
        std::vector<std::string> arguments;
        bool ok;
        std::string shows;  // what the tool prints for it includes this
    };
    const Row rows[] = {
        {{"tvs"}, true, "* Bedroom TV — Roku"},
        {{"status"}, true, "Bedroom TV — Roku"},
        {{"up", "3"}, true, ""},
        // An app in front, nothing playing: its search field takes the text.
        {{"launch", "netflix"}, true, ""},
        {{"type", "the bear"}, true, ""},
        {{"apps"}, true, "Netflix\n"},
        {{"nowplaying"}, true, ""},
        {{"open"}, true, ""},
        {{"power"}, true, ""},
        {{"--tv", "nowhere", "status"}, false, ""},
    };
    for (const auto& row : rows) {
        for (bool named : {false, true}) {
            auto arguments = row.arguments;
            if (named && arguments[0] != "--tv")
                arguments.insert(arguments.begin(), {"--tv", "bedroom"});
            SCOPED_TRACE(::testing::PrintToString(arguments));
            const auto reply = ask(arguments);
            ASSERT_TRUE(reply.is_object());
            EXPECT_EQ(ControlMessage::isSuccess(reply), row.ok) << reply;
            if (!row.ok) {
                EXPECT_FALSE(ControlMessage::errorText(reply).value_or("").empty());
            }
            const std::string text = printed(arguments, reply);
            EXPECT_NE(text.find(row.shows), std::string::npos) << text;
        }
    }
}

TEST_F(HeadlessApp, ReplacesAStaleSocketServesItToTheUserAloneAndRemovesItOnQuit) {
    // What a killed app leaves: the socket file with nobody listening.
    std::filesystem::create_directories(std::filesystem::path(profile.socketPath()).parent_path());
    {
        const UniqueFd stale(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, profile.socketPath().c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(stale.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address),
                  0);
    }
    launch();
    ASSERT_TRUE(ControlMessage::isSuccess(ask({"tvs"})));
    struct stat info {};
    ASSERT_EQ(::stat(profile.socketPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    quit();
    EXPECT_FALSE(std::filesystem::exists(profile.socketPath())) << "quitting left the socket";
    EXPECT_TRUE(eventually([] { return bridges().empty(); })) << "the bridge outlived the quit";
    EXPECT_TRUE(unavailable.empty());
    EXPECT_TRUE(started);
    EXPECT_TRUE(problems.empty());
}

TEST_F(HeadlessApp, QuittingTwiceFinishesWithoutWaitingForTheBridge) {
    launchConnected();
    ASSERT_EQ(bridges().size(), 1u);
    onLoop([&] {
        app->quit();
        app->quit();
    });
    EXPECT_TRUE(finished);
}

TEST_F(HeadlessApp, StartsNothingWhenTheSocketCannotStart) {
    // Too long for a socket address, fine for every other file.
    profile.useDataHome(profile.dir() / std::string(120, 'd'));
    launch();
    EXPECT_FALSE(started);
    EXPECT_EQ(unavailable.size(), 1u);
    EXPECT_EQ(ControlStartup::unavailableMessage("why"),
              "Orvel: the orvel command is unavailable (why)");
    EXPECT_TRUE(bridges().empty()) << "a bridge started for an app that cannot be reached";
    EXPECT_FALSE(std::filesystem::exists(profile.socketPath()));
}

// Characters the bridge has read from the app so far.
long long bridgeReadCount(pid_t bridge) {
    std::ifstream io("/proc/" + std::to_string(bridge) + "/io");
    std::string key;
    long long value = -1;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

TEST_F(HeadlessApp, APressEndsWithTheHelperMessageWhenTheBridgeIsKilledUnderIt) {
    // Presses take long enough that the bridge dies under one.
    profile.useHousehold(R"({
        "tvs": [{"id": "roku:sim-bedroom", "name": "Bedroom TV"}],
        "faults": [{"op": "command", "delay": 30}]})");
    launchConnected();
    const auto running = bridges();
    ASSERT_EQ(running.size(), 1u);
    const long long before = bridgeReadCount(running[0]);

    auto press = send({"up", "5"});
    ASSERT_TRUE(eventually([&] { return bridgeReadCount(running[0]) > before; }));
    ::kill(running[0], SIGKILL);
    const auto reply = press.get();
    EXPECT_FALSE(ControlMessage::isSuccess(reply));
    EXPECT_TRUE(ControlMessage::errorText(reply).value_or("").starts_with(
        "The TV connection helper stopped."))
        << reply;
}
#endif

}  // namespace
}  // namespace orvel::test

// The headless app in the test's process with the simulated household: the commands of the
// tool against the real session and bridge, the control socket from launch to quit, and the
// bridge child it keeps and stops.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "../support/ProcessInspection.hpp"
#include "InProcessApp.hpp"
#include "platform/ManualLoop.hpp"
#include "session/SessionContext.hpp"

namespace orvel::test {
namespace {

// A demo run opens no credential store (the keyring would call the session bus, which listens
// here and hangs up on every caller) and leaves even an unreadable settings file where it is.
TEST(HeadlessDemo, TouchesNeitherTheKeyringNorTheSettingsFile) {
    HeadlessProfile profile;
    const std::string settings = profile.dir() / "config/Orvel Remote/defaults.json";
    ScratchDir::write(settings, "{\"lastDevice\": ");
    const UniqueFd bus(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string busPath = profile.dir() / "no-bus";
    std::strncpy(address.sun_path, busPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(bus.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(bus.get(), 4), 0);
    std::atomic<bool> done = false;
    std::atomic<int> callers = 0;
    std::thread answering([&] {
        while (!done) {
            pollfd ready{bus.get(), POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) continue;
            const UniqueFd caller(::accept4(bus.get(), nullptr, nullptr, SOCK_CLOEXEC));
            callers += static_cast<bool>(caller);
        }
    });

    ManualLoop loop;
    {
        orvel::HeadlessApp app(loop, LaunchOptions{.demo = true, .headless = true}, [] {});
        EXPECT_FALSE(app.start().ok()) << "a demo has no socket";
        loop.runUntilIdle();
    }
    done = true;
    answering.join();
    EXPECT_EQ(callers, 0) << "the session bus was called";
    EXPECT_EQ(ScratchDir::read(settings), "{\"lastDevice\": ");
    EXPECT_FALSE(std::filesystem::exists(settings + ".corrupt"));
    EXPECT_FALSE(std::filesystem::exists(profile.socketPath()));
}

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

TEST_F(HeadlessApp, ConnectsThroughDamagedFilesAndSaysEachProblemOnce) {
    const std::string settings = profile.dir() / "config/Orvel Remote/defaults.json";
    auto stored = nlohmann::json::parse(std::ifstream(settings));
    stored["pairedDevices"].push_back({{"id", "sim:kitchen"}});
    std::ofstream(settings) << stored.dump();
    const std::string credentials = profile.dir() / "data/Orvel Remote/credentials.json";
    std::filesystem::create_directories(credentials);  // a folder where the file belongs
    launchConnected();
    quit();
    ASSERT_EQ(storageProblems.size(), 2u);
    EXPECT_NE(storageProblems[0].find("1 paired TV could not be read"), std::string::npos);
    EXPECT_EQ(storageProblems[1], "The pairing credentials file \"" + credentials +
                                      "\" could not be read, so it was moved to \"" + credentials +
                                      ".corrupt\" and TVs that need pairing must be paired again.");
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
    ASSERT_TRUE(eventually([&] { return bridgeReadCount(running[0]) > before; }, 30))
        << "the bridge read nothing of the press (read count " << before << ")";
    ::kill(running[0], SIGKILL);
    const auto reply = press.get();
    EXPECT_FALSE(ControlMessage::isSuccess(reply));
    EXPECT_TRUE(ControlMessage::errorText(reply).value_or("").starts_with(
        "The TV connection helper stopped."))
        << reply;
}

// The app on the virtual clock, with the real bridge and control socket: its time-outs pass
// in no time.
TEST(HeadlessAppOnTheVirtualClock, APressTheBridgeNeverAnswersEndsInTheTimeOutMessage) {
    HeadlessProfile profile;
    profile.useHousehold(R"({
        "tvs": [{"id": "roku:sim-bedroom", "name": "Bedroom TV"}],
        "faults": [{"op": "command", "noReply": true}]})");
    ManualLoop loop;
    orvel::HeadlessApp::Settings settings{
        .bridgeInputs =
            [] {
                return BridgeLocation::Inputs{ORVEL_BRIDGE_DIR, {}, {}};
            },
        .logUnavailable = [](const std::string&) {}};
    auto app = std::make_unique<orvel::HeadlessApp>(
        loop, LaunchOptions{.headless = true}, [] {}, settings);
    ASSERT_TRUE(app->start().ok());
    // The request the tool sends for `arguments`, answered on another thread while this one
    // runs the loop.
    auto send = [&](const std::vector<std::string>& arguments) {
        const auto parsed = std::get<ControlCommand::Parsed>(ControlCommand::parse(arguments));
        return std::async(std::launch::async, [&profile, line = parsed.request.dump() + "\n"] {
            Client client(profile.socketPath());
            client.send(line);
            return ControlMessage::parseObject(client.readLine(20)).value_or(nullptr);
        });
    };
    auto ready = [](const std::future<nlohmann::json>& reply) {
        return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    };
    // Runs the loop until `done`, looking at least every 10 ms: a reply on another thread or
    // the bridge reading posts nothing that would wake it.
    auto runUntil = [&](const std::function<bool()>& done) {
        for (int slice = 0; slice < 2000; ++slice)
            if (loop.runUntil(done, 0.01)) return true;
        return false;
    };
    auto ask = [&](const std::vector<std::string>& arguments) {
        auto reply = send(arguments);
        EXPECT_TRUE(runUntil([&] { return ready(reply); })) << arguments[0];
        return reply.get();
    };
    bool connected = false;
    for (int look = 0; look < 400 && !connected; ++look) {
        const auto status = ask({"--json", "status"});
        connected = status.dump().find("\"connected\":true") != std::string::npos;
        // Meanwhile the bridge answers in real time.
        if (!connected) loop.runUntil([] { return false; }, 0.05);
    }
    ASSERT_TRUE(connected);
    const auto running = bridges();
    ASSERT_EQ(running.size(), 1u);
    const long long before = bridgeReadCount(running[0]);

    auto press = send({"up"});
    ASSERT_TRUE(runUntil([&] { return bridgeReadCount(running[0]) > before; }));
    loop.advance(SessionContext::kCommandTimeout - 0.5);
    EXPECT_FALSE(ready(press)) << "answered before its time-out";
    loop.advance(0.5);
    ASSERT_TRUE(runUntil([&] { return ready(press); }));
    const auto reply = press.get();
    EXPECT_EQ(ControlMessage::errorText(reply).value_or(""),
              "The TV did not respond. Reconnect to try again.")
        << reply;
    EXPECT_TRUE(ControlMessage::isSuccess(ask({"tvs"}))) << "the app stopped answering";
    app.reset();
}
#endif

// Found before anything runs: written at once, not at the session's first change.
TEST(HeadlessAppStorage, AProblemFoundAtLaunchIsWrittenAtOnce) {
    HeadlessProfile profile;
    ScratchDir::write(profile.dir() / "config/Orvel Remote/defaults.json", "garbage");
    ManualLoop loop;
    std::vector<std::string> written;
    orvel::HeadlessApp app(
        loop, LaunchOptions{.headless = true}, [] {},
        {.logStorageProblem = [&](const std::string& problem) { written.push_back(problem); }});
    ASSERT_EQ(written.size(), 1u);
    EXPECT_NE(written[0].find("so it was moved to"), std::string::npos);
}

}  // namespace
}  // namespace orvel::test

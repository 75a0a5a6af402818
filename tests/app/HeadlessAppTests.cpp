// The headless app in the test's process with the simulated household: the commands of the
// tool against the real session and bridge, the launches that start nothing, the damaged
// files it connects through and how their problems are said, and quitting.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "../support/ProcessInspection.hpp"
#include "InProcessApp.hpp"
#include "app/StorageLog.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel::test {
namespace {

// A demo run opens no credential store (the keyring would call the session bus, which listens
// here and so keeps any caller in its backlog) and leaves even an unreadable settings file
// where it is.
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

    ManualLoop loop;
    {
        orvel::HeadlessApp app(loop, LaunchOptions{.demo = true, .headless = true}, [] {});
        EXPECT_FALSE(app.start().ok()) << "a demo has no socket";
        loop.runUntilIdle();
    }
    EXPECT_FALSE(UniqueFd(::accept4(bus.get(), nullptr, nullptr, SOCK_CLOEXEC)))
        << "the session bus was called";
    EXPECT_EQ(ScratchDir::read(settings), "{\"lastDevice\": ");
    EXPECT_FALSE(std::filesystem::exists(settings + ".corrupt"));
    EXPECT_FALSE(std::filesystem::exists(profile.socketPath()));
}

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

TEST(StorageLog, EachSentenceIsWrittenOnceWhenItFirstAppears) {
    std::vector<std::string> written;
    StorageLog log([&](const std::string& sentence) { written.push_back(sentence); });
    const std::vector<std::vector<std::string>> reports = {
        {"A.", "B."}, {"A.", "B."}, {"B."}, {}, {"A.", "C."}};
    for (const auto& problems : reports) log.report(problems);
    EXPECT_EQ(written, (std::vector<std::string>{"A.", "B.", "C."}));
}

TEST(StorageLog, TheLaunchWriterSaysTheSentenceOnStandardError) {
    ::testing::internal::CaptureStderr();
    StorageLog::writeToStandardError("The file was moved aside.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Orvel: The file was moved aside.\n");
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
        {{"open"}, false, ""},  // no remote to show
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

TEST_F(HeadlessApp, QuittingTwiceFinishesAtOnceAndLeavesNeitherSocketNorBridge) {
    launchConnected();
    ASSERT_EQ(bridges().size(), 1u);
    onLoop([&] {
        app->quit();
        app->quit();
    });
    EXPECT_TRUE(finished) << "the quit waited for the bridge";
    EXPECT_FALSE(std::filesystem::exists(profile.socketPath()));
    EXPECT_TRUE(eventually([] { return bridges().empty(); })) << "the bridge outlived the quit";
    EXPECT_TRUE(unavailable.empty());
    EXPECT_TRUE(problems.empty());
}

TEST_F(HeadlessApp, StartsNothingWhenTheSocketCannotStart) {
    // Too long for a socket address, fine for every other file.
    profile.useDataHome(profile.dir() / std::string(120, 'd'));
    launch();
    EXPECT_FALSE(started);
    EXPECT_EQ(unavailable.size(), 1u);
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
    // The sentences themselves are the stores' (their tests pin them).
    ASSERT_EQ(storageProblems.size(), 2u);
    EXPECT_NE(storageProblems[0].find("1 paired TV could not be read"), std::string::npos);
    EXPECT_NE(storageProblems[1].find(credentials + ".corrupt"), std::string::npos);
}
#endif

}  // namespace
}  // namespace orvel::test

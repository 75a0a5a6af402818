// The built OrvelBridge program as the application runs it: a child on pipes, read within
// bounded real time.

#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <string>

#include "../support/ControlClient.hpp"
#include "../support/FakeRokuDevice.hpp"
#include "../support/LoopbackHttpServer.hpp"
#include "../support/ProgramRun.hpp"
#include "../support/ScopedEnvironment.hpp"
#include "../support/ScratchDir.hpp"

namespace orvel {
namespace {

using nlohmann::json;

const std::string kReady = "{\"event\":\"ready\"}\n";
const std::string kScan = "{\"op\":\"scan\",\"id\":\"s1\"}\n";

// Each command a simulated TV performs is noted in the command log; a refused one is not.
TEST(BridgeProcess, ServesTheBuiltInHouseholdUntilItsInputEndsOrSigterm) {
    test::ScratchDir scratch;
    const std::string log = scratch.path() + "/commands.jsonl";
    test::ScopedEnvironment environment("ORVEL_SIMULATE", "1");
    environment.set("ORVEL_SIMULATE_LOG", log);
    const auto run = test::runProgram(
        ORVEL_BRIDGE_PATH, {}, 10, kScan + R"({"id":"2","op":"connect","device":"roku:sim-bedroom"}
{"id":"3","op":"command","action":"up"}
{"id":"4","op":"command","action":"text","text":"é"}
)");
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(run.out.starts_with(kReady)) << run.out;
    const std::string replies = run.out.substr(kReady.size());
    EXPECT_EQ(json::parse(replies.substr(0, replies.find('\n')))["devices"].size(), 3u);
    EXPECT_EQ(test::ScratchDir::read(log), "{\"action\":\"up\",\"device\":\"roku:sim-bedroom\"}\n");

    auto bridge = ChildProcess::spawn(ORVEL_BRIDGE_PATH, {});
    ASSERT_TRUE(bridge);
    test::Client out((*bridge)->takeStdout());
    EXPECT_EQ(out.readLine(10), kReady);
    (*bridge)->signal(SIGTERM);
    EXPECT_EQ(test::waitForExit(**bridge, 10), 0) << "exited with status 0";
}

TEST(BridgeProcess, RefusesAHouseholdFileItCannotRead) {
    const test::ScopedEnvironment simulate("ORVEL_SIMULATE", "/nonexistent/household.json");
    const auto run = test::runProgram(ORVEL_BRIDGE_PATH, {});
    EXPECT_EQ(run.err,
              "OrvelBridge: The household file \"/nonexistent/household.json\" cannot be read "
              "(No such file or directory).\n");
    EXPECT_EQ(run.out, "") << "no \"ready\" from a bridge that cannot serve";
    EXPECT_EQ(run.status, 1);
}

TEST(BridgeProcess, WithoutSimulationReachesTheRokusAtTheListedAddresses) {
    test::FakeRokuDevice tv;
    test::LoopbackHttpServer server(
        [&](const test::FakeHttpRequest& request) { return tv.handle(request); });
    test::ScopedEnvironment environment("ORVEL_ROKU_HOSTS", server.hostPort());
    environment.set("ORVEL_APPLETV_HOSTS", "");
    environment.set("ORVEL_SIMULATE", "");
    auto bridge = ChildProcess::spawn(ORVEL_BRIDGE_PATH, {});
    ASSERT_TRUE(bridge);
    const UniqueFd in = (*bridge)->takeStdin();
    test::Client out((*bridge)->takeStdout());
    EXPECT_EQ(out.readLine(10), kReady);
    // Answered later: the input stays open until the reply is read.
    ASSERT_EQ(::write(in.get(), kScan.data(), kScan.size()), static_cast<ssize_t>(kScan.size()));
    EXPECT_EQ(json::parse(out.readLine(10))["devices"],
              json::parse(R"([{"id":"roku:X00000FAKE01","name":"Bedroom TV","protocols":[]}])"));
}

TEST(BridgeProcess, AnswersEveryRequestWithWhatIsWrongWithTheRokuHostList) {
    test::ScopedEnvironment environment("ORVEL_ROKU_HOSTS", "192.0.2.7,tv.local");
    environment.set("ORVEL_SIMULATE", "");
    const auto run = test::runProgram(ORVEL_BRIDGE_PATH, {}, 10,
                                      kScan + R"({"id":"c1","op":"connect","device":"roku:X"})"
                                              "\n");
    const std::string error =
        R"({"error":"ORVEL_ROKU_HOSTS lists \"tv.local\", which is not an IP address.","id":")";
    EXPECT_EQ(run.out, kReady + error + "s1\"}\n" + error + "c1\"}\n");
}

}  // namespace
}  // namespace orvel

// The Roku backend over real HTTP: the bridge protocol in, libcurl out, a fake Roku on
// 127.0.0.1 behind a loopback server. Time-outs are shortened so that the failures take
// fractions of a second; every wait is bounded.

#include <gtest/gtest.h>

#include "../support/FakeRokuDevice.hpp"
#include "../support/LoopbackHttpServer.hpp"
#include "BridgeLines.hpp"
#include "bridge/CurlTransport.hpp"
#include "bridge/RokuBackend.hpp"
#include "bridge/RokuTexts.hpp"
#include "platform/PollLoop.hpp"

namespace orvel::test {
namespace {

const char* const kFakeTV = "roku:X00000FAKE01";

RokuOptions quickOptions() {
    RokuOptions options;
    options.connectedPoll = 0.05;
    options.watchedPoll = 0.05;
    options.deviceInfoPoll = 0.2;
    options.afterCommand = 0.01;
    options.httpTimeout = 0.4;
    options.requestBudget = 2.0;
    return options;
}

class RokuWire : public ::testing::Test, public BridgeLines {
protected:
    RokuWire() {
        pump = [this](const std::function<bool()>& ready) { runUntil(ready, 10.0); };
        const RokuOptions options = quickOptions();
        auto transport = std::make_unique<CurlTransport>(
            loop,
            CurlTransport::Options{.connectTimeout = 0.4, .requestTimeout = options.httpTimeout});
        auto discovery =
            std::make_unique<FixedRokuHosts>(loop, std::vector<std::string>{server.hostPort()});
        dispatcher =
            Dispatcher::create(loop,
                               std::make_unique<RokuBackend>(loop, std::move(transport),
                                                             std::move(discovery), options),
                               {}, output());
    }
    ~RokuWire() override { dispatcher.reset(); }

    // Runs the real loop until `ready` holds or `seconds` passed.
    void runUntil(const std::function<bool()>& ready, double seconds) {
        const double deadline = loop.now() + seconds;
        TimerHandle check;
        std::function<void()> look = [&] {
            if (ready() || loop.now() >= deadline) return loop.quit();
            check = loop.postAfter(0.002, look);
        };
        check = loop.postAfter(0, look);
        loop.run();
    }
    void runFor(double seconds) {
        runUntil([] { return false; }, seconds);
    }
    json connect() {
        json reply = call({{"op", "connect"}, {"device", kFakeTV}});
        runUntil([&] { return !takeStatesKeeping().empty(); }, 5.0);
        return reply;
    }
    // The state events so far, left in place.
    std::vector<json> takeStatesKeeping() {
        std::vector<json> states;
        for (const auto& line : lines) {
            auto object = json::parse(line, nullptr, false);
            if (object.value("event", "") == "state") states.push_back(object);
        }
        return states;
    }

    PollLoop loop;
    FakeRokuDevice tv{[] {
        FakeRokuConfig config;
        config.apps.push_back({"dev/my app", "Side Loaded"});
        return config;
    }()};
    LoopbackHttpServer server{
        [this](const FakeHttpRequest& request) { return tv.handle(request); }};
};

TEST_F(RokuWire, ScanConnectAndKeysGoOverOneKeptAliveConnection) {
    const json scanned = call({{"op", "scan"}});
    ASSERT_EQ(scanned["devices"].size(), 1u) << scanned;
    EXPECT_EQ(scanned["devices"][0]["id"], kFakeTV);
    EXPECT_EQ(scanned["devices"][0]["name"], "Bedroom TV");

    ASSERT_FALSE(connect().contains("error"));
    auto states = takeStates(kFakeTV);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back()["address"], server.hostPort());

    tv.clearRequests();
    const int connectionsBefore = server.connectionsAccepted();
    EXPECT_FALSE(
        call({{"op", "command"}, {"action", "text"}, {"text", "é字😀%"}}).contains("error"));
    EXPECT_EQ(tv.keypresses(),
              (std::vector<std::string>{"/keypress/Lit_%C3%A9", "/keypress/Lit_%E5%AD%97",
                                        "/keypress/Lit_%F0%9F%98%80", "/keypress/Lit_%25"}));
    // The polls may open one more connection beside the typing; never one per key.
    EXPECT_LE(server.connectionsAccepted() - connectionsBefore, 1);
    for (const auto& request : tv.requests()) {
        EXPECT_EQ(request.headers.at("host"), server.hostPort());
    }

    EXPECT_FALSE(call({{"op", "command"}, {"action", "launchApp"}, {"app", "dev/my app"}})
                     .contains("error"));
    const auto requests = tv.requests();
    const bool launched = std::any_of(requests.begin(), requests.end(), [](const auto& r) {
        return r.method == "POST" && r.target == "/launch/dev%2Fmy%20app";
    });
    EXPECT_TRUE(launched);
}

TEST_F(RokuWire, LimitedModeReachesTheUserAsItsSentence) {
    ASSERT_FALSE(connect().contains("error"));
    tv.setLimited(true);
    EXPECT_EQ(call({{"op", "command"}, {"action", "up"}})["error"], RokuTexts::kLimitedMode);
    runUntil(
        [&] {
            auto states = takeStatesKeeping();
            return !states.empty() && states.back().contains("notice");
        },
        5.0);
    auto states = takeStates(kFakeTV);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back()["notice"], RokuTexts::kLimitedMode);
}

TEST_F(RokuWire, ATVThatClosesConnectionsStillTakesCommands) {
    ASSERT_FALSE(connect().contains("error"));
    server.setCloseAfterAnswer(true);
    tv.clearRequests();
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(call({{"op", "command"}, {"action", "up"}}).contains("error"));
    }
    EXPECT_EQ(tv.keypresses(), std::vector<std::string>(3, "/keypress/Up"));
}

TEST_F(RokuWire, ATVThatStopsAnsweringEndsWithAReason) {
    ASSERT_FALSE(connect().contains("error"));
    server.setDropWithoutAnswer(true);
    runUntil(
        [&] {
            for (const auto& line : lines) {
                if (line.find("disconnected") != std::string::npos) return true;
            }
            return false;
        },
        10.0);
    std::vector<json> ended;
    for (const auto& event : takeEvents()) {
        if (event["event"] == "disconnected") ended.push_back(event);
    }
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0]["reason"], "Bedroom TV stopped answering on the network.");
}

TEST_F(RokuWire, ASlowTVIsAnsweredForWithinItsBudgetAndOtherRequestsGoOn) {
    ASSERT_FALSE(connect().contains("error"));
    server.setAnswerDelay(1.0);  // past the 0.4 s time-out
    const double start = loop.now();
    const json reply = call({{"op", "command"}, {"action", "up"}});
    EXPECT_EQ(reply["error"], RokuTexts::didNotAnswer("Bedroom TV"));
    EXPECT_LT(loop.now() - start, quickOptions().requestBudget);

    // While a long text crawls, the bridge keeps reading and answering.
    send(json({{"op", "command"}, {"id", "slow"}, {"action", "text"}, {"text", "abc"}}).dump());
    const json other = call({{"op", "pairFinish"}, {"pin", "1234"}});
    EXPECT_EQ(other["error"], RokuTexts::kNoPairing);
    EXPECT_FALSE(answered("slow"));  // its first key is still on its way
    runUntil([&] { return answered("slow"); }, 5.0);
    EXPECT_TRUE(takeReply("slow").contains("error"));
}

}  // namespace
}  // namespace orvel::test

// The Roku backend over real HTTP: the bridge protocol in, libcurl out, a fake Roku on
// 127.0.0.1 behind a loopback server. Time-outs are shortened so that the failures take
// fractions of a second; every wait is bounded.

#include <gtest/gtest.h>

#include "../../support/FakeRokuDevice.hpp"
#include "../../support/LoopbackHttpServer.hpp"
#include "../BridgeLines.hpp"
#include "bridge/http/CurlTransport.hpp"
#include "bridge/roku/FixedRokuHosts.hpp"
#include "bridge/roku/RokuBackend.hpp"
#include "bridge/roku/RokuTexts.hpp"
#include "platform/PollLoop.hpp"

namespace orvel::test {
namespace {

const char* const kFakeTV = "roku:X00000FAKE01";

const RokuOptions kQuick = {.connectedPoll = 0.05,
                            .watchedPoll = 0.05,
                            .deviceInfoPoll = 0.2,
                            .afterCommand = 0.01,
                            .requestBudget = 2.0,
                            .httpTimeout = 0.4};

class RokuWire : public ::testing::Test, public BridgeLines {
protected:
    RokuWire() {
        pump = [this](const std::function<bool()>& ready) { runUntil(ready, 10.0); };
        auto backend = std::make_unique<RokuBackend>(
            loop,
            std::make_unique<CurlTransport>(
                loop, CurlTransport::Options{.connectTimeout = 0.4, .requestTimeout = 0.4}),
            std::make_unique<FixedRokuHosts>(loop, std::vector<std::string>{server.hostPort()}),
            kQuick);
        dispatcher = Dispatcher::create(loop, std::move(backend), {}, output());
    }
    ~RokuWire() override { dispatcher.reset(); }

    // Runs the real loop until `ready` holds or `seconds` passed.
    void runUntil(const std::function<bool()>& ready, double seconds) {
        const double deadline = loop.now() + seconds;
        CancelHandle check;
        std::function<void()> look = [&] {
            if (ready() || loop.now() >= deadline) return loop.quit();
            check = loop.postAfter(0.002, look);
        };
        check = loop.postAfter(0, look);
        loop.run();
    }
    json connect() {
        json reply = call({{"op", "connect"}, {"device", kFakeTV}});
        runUntilLine("\"state\"", 5.0);
        return reply;
    }
    json command(const std::string& action) {
        return call({{"op", "command"}, {"action", action}});
    }
    // Runs until some line written holds `text`.
    void runUntilLine(const std::string& text, double seconds) {
        runUntil(
            [&] {
                return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
                    return line.find(text) != std::string::npos;
                });
            },
            seconds);
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
    EXPECT_EQ(call({{"op", "scan"}})["devices"],
              json::parse(R"([{"id":"roku:X00000FAKE01","name":"Bedroom TV","protocols":[]}])"));
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
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [](const auto& r) {
        return r.method == "POST" && r.target == "/launch/dev%2Fmy%20app";
    }));

    // A TV that closes every connection still takes commands.
    server.setCloseAfterAnswer(true);
    tv.clearRequests();
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(command("up").contains("error"));
    EXPECT_EQ(tv.keypresses(), std::vector<std::string>(3, "/keypress/Up"));
}

TEST_F(RokuWire, LimitedModeAndThenSilenceReachTheUserAsSentences) {
    ASSERT_FALSE(connect().contains("error"));
    takeEvents();
    tv.setLimited(true);
    EXPECT_EQ(command("up")["error"], RokuTexts::kLimitedMode);
    runUntilLine("\"notice\"", 5.0);
    auto states = takeStates(kFakeTV);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back()["notice"], RokuTexts::kLimitedMode);

    server.setDropWithoutAnswer(true);
    runUntilLine("disconnected", 10.0);
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
    EXPECT_EQ(command("up")["error"], RokuTexts::didNotAnswer("Bedroom TV"));
    EXPECT_LT(loop.now() - start, kQuick.requestBudget);

    // While a long text crawls, the bridge keeps reading and answering.
    send(json({{"op", "command"}, {"id", "slow"}, {"action", "text"}, {"text", "abc"}}).dump());
    EXPECT_EQ(call({{"op", "pairFinish"}, {"pin", "1234"}})["error"], RokuTexts::kNoPairing);
    EXPECT_FALSE(answered("slow"));  // its first key is still on its way
    runUntil([&] { return answered("slow"); }, 5.0);
    EXPECT_TRUE(takeReply("slow").contains("error"));
}

}  // namespace
}  // namespace orvel::test

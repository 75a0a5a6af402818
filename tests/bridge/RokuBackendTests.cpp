// The Roku backend through the bridge protocol, against fake Rokus on a virtual clock: what
// it asks the TVs, what it answers and which events it sends as time passes.

#include <gtest/gtest.h>

#include "BridgeLines.hpp"
#include "DeviceTransport.hpp"
#include "bridge/RokuBackend.hpp"
#include "bridge/RokuTexts.hpp"

namespace orvel::test {
namespace {

const char* const kTVAddress = "127.0.0.1:18060";
const char* const kStickAddress = "127.0.0.1:18061";
const char* const kTV = "roku:X00000FAKE01";
const char* const kStick = "roku:YSTICK0002";

// A TV with an app whose id needs encoding.
FakeRokuConfig tvConfig() {
    FakeRokuConfig config;
    config.apps.push_back({"dev/my app.v2", "Side Loaded"});
    return config;
}

FakeRokuConfig stickConfig() {
    FakeRokuConfig config;
    config.serialNumber = "YSTICK0002";
    config.userDeviceName = "";
    config.friendlyModelName = "Roku Stick";
    config.isTv = false;
    return config;
}

class RokuBackendTest : public ::testing::Test, public BridgeLines {
protected:
    RokuBackendTest() : transport_(new DeviceTransport(loop)) {
        transport_->place(kTVAddress, &tv);
        transport_->place(kStickAddress, &stick);
        hosts = {kTVAddress, kStickAddress, "127.0.0.1:18062"};  // the last: nobody there
        pump = [this](const std::function<bool()>& ready) {
            loop.runUntilIdle();
            for (int step = 0; step < 600 && !ready(); ++step) loop.advance(0.05);
        };
        auto backend = std::make_unique<RokuBackend>(
            loop, std::unique_ptr<HttpTransport>(transport_),
            std::make_unique<FixedRokuHosts>(loop, hosts), RokuOptions{});
        roku = backend.get();
        dispatcher = Dispatcher::create(loop, std::move(backend), {}, output());
    }
    ~RokuBackendTest() override { dispatcher.reset(); }

    json command(const std::string& action, json extra = json::object()) {
        extra["op"] = "command";
        extra["action"] = action;
        return call(extra);
    }
    void connectTV() {
        ASSERT_EQ(call({{"op", "connect"}, {"device", kTV}}), json({{"id", "r1"}}));
        loop.advance(0.1);
        tv.clearRequests();
    }

    ManualLoop loop;
    FakeRokuDevice tv{tvConfig()};
    FakeRokuDevice stick{stickConfig()};
    std::vector<std::string> hosts;
    DeviceTransport* transport_;  // owned by the backend
    RokuBackend* roku = nullptr;
};

TEST_F(RokuBackendTest, ScanListsTheRokusThatAnswerInTheOrderOfTheirAddresses) {
    const json reply = call({{"op", "scan"}});
    EXPECT_EQ(reply["devices"],
              json::parse(R"([{"id":"roku:X00000FAKE01","name":"Bedroom TV","protocols":[]},
                              {"id":"roku:YSTICK0002","name":"Roku Stick","protocols":[]}])"));
}

TEST_F(RokuBackendTest, ConnectSendsTheTVsStateAndPollsWithoutRepeatingIt) {
    tv.setActiveApp("12");
    tv.setPlayer("play", 1000, 60000);
    ASSERT_FALSE(call({{"op", "connect"}, {"device", kTV}}).contains("error"));
    loop.advance(0.1);
    auto states = takeStates(kTV);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0]["app"], "Netflix");
    EXPECT_EQ(states[0]["app_id"], "12");
    EXPECT_EQ(states[0]["playing"], true);
    EXPECT_EQ(states[0]["address"], kTVAddress);
    EXPECT_EQ(states[0]["power"], "On");
    EXPECT_DOUBLE_EQ(states[0]["duration"].get<double>(), 60.0);
    EXPECT_FALSE(states[0].contains("volume"));
    EXPECT_TRUE(std::find(states[0]["capabilities"].begin(), states[0]["capabilities"].end(),
                          "volumeUp") != states[0]["capabilities"].end());

    // Only the position moves: one refresh every 5 s while playing, polls every second.
    tv.clearRequests();
    for (int second = 1; second <= 4; ++second) {
        tv.setPlayer("play", 1000 + second * 1000, 60000);
        loop.advance(1.0);
    }
    EXPECT_TRUE(takeStates(kTV).empty());
    EXPECT_GE(tv.requests().size(), 8u);  // active-app and media-player, each second
    loop.advance(1.0);
    EXPECT_EQ(takeStates(kTV).size(), 1u);

    tv.setPlayer("pause", 6000, 60000);
    loop.advance(1.0);
    states = takeStates(kTV);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0]["playing"], false);
}

TEST_F(RokuBackendTest, ActionsBecomeTheirKeys) {
    connectTV();
    const std::vector<std::pair<std::string, std::string>> table = {
        {"up", "Up"},
        {"down", "Down"},
        {"left", "Left"},
        {"right", "Right"},
        {"select", "Select"},
        {"back", "Back"},
        {"home", "Home"},
        {"menu", "Info"},
        {"playPause", "Play"},
        {"skipForward", "Fwd"},
        {"skipBackward", "InstantReplay"},
        {"volumeUp", "VolumeUp"},
        {"volumeDown", "VolumeDown"},
        {"mute", "VolumeMute"},
        {"sleep", "PowerOff"},
        {"wake", "PowerOn"}};
    for (const auto& [action, key] : table) {
        tv.clearRequests();
        EXPECT_EQ(command(action).size(), 1u) << action;  // the id alone: success
        EXPECT_EQ(tv.keypresses(), std::vector<std::string>{"/keypress/" + key}) << action;
    }
    for (const char* action : {"next", "previous", "appSwitcher", "controlCenter"}) {
        EXPECT_EQ(command(action)["error"], RokuTexts::unsupported("Bedroom TV", action));
    }
    EXPECT_EQ(command("setVolume", {{"volume", 20}})["error"],
              RokuTexts::unsupported("Bedroom TV", "setVolume"));
}

TEST_F(RokuBackendTest, PowerShowsRightAfterSleepAndWake) {
    connectTV();
    takeEvents();
    ASSERT_FALSE(command("sleep").contains("error"));
    loop.advance(0.5);  // well before the regular device-info look
    auto states = takeStates(kTV);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back()["power"], "Off");
    EXPECT_EQ(states.back()["capabilities"], json::array({"wake"}));
    ASSERT_FALSE(command("wake").contains("error"));
    loop.advance(0.5);
    states = takeStates(kTV);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back()["power"], "On");
}

TEST_F(RokuBackendTest, PlayAndPausePressPlayOnlyWhenThePlayerNeedsIt) {
    connectTV();
    tv.setActiveApp("12");
    struct Case {
        const char* state;
        const char* action;
        bool pressed;
    };
    for (const Case& c :
         {Case{"pause", "play", true}, Case{"play", "play", false}, Case{"play", "pause", true},
          Case{"pause", "pause", false}, Case{"close", "pause", false}}) {
        tv.setPlayer(c.state, 0, 1000);
        tv.clearRequests();
        EXPECT_FALSE(command(c.action).contains("error"));
        EXPECT_EQ(tv.keypresses().size(), c.pressed ? 1u : 0u) << c.state << " " << c.action;
    }
}

TEST_F(RokuBackendTest, AStickRefusesTheKeysItHasNot) {
    for (const char* action : {"volumeUp", "mute", "sleep", "wake"}) {
        const json reply = command(action, {{"device", kStick}});
        EXPECT_EQ(reply["error"], RokuTexts::unsupported("Roku Stick", action));
    }
    EXPECT_TRUE(stick.keypresses().empty());
    EXPECT_FALSE(command("select", {{"device", kStick}}).contains("error"));
    EXPECT_EQ(stick.keypresses(), std::vector<std::string>{"/keypress/Select"});
}

TEST_F(RokuBackendTest, TextIsTypedScalarByScalarAndTooMuchIsRefusedUpFront) {
    connectTV();
    EXPECT_FALSE(command("text", {{"text", "é字😀%a"}}).contains("error"));
    EXPECT_EQ(tv.keypresses(),
              (std::vector<std::string>{"/keypress/Lit_%C3%A9", "/keypress/Lit_%E5%AD%97",
                                        "/keypress/Lit_%F0%9F%98%80", "/keypress/Lit_%25",
                                        "/keypress/Lit_a"}));
    tv.clearRequests();
    const json tooLong = command("text", {{"text", std::string(251, 'x')}});
    EXPECT_NE(tooLong["error"].get<std::string>().find("at most 250"), std::string::npos);
    EXPECT_TRUE(tv.keypresses().empty());
}

TEST_F(RokuBackendTest, TextIsSizedToTheTVsPaceBeforeTheFirstKey) {
    connectTV();
    transport_->setLatency(0.08);  // a little slower than most: 250 keys would take 20 s
    EXPECT_FALSE(command("text", {{"text", "abc"}}).contains("error"));
    tv.clearRequests();
    const json reply = command("text", {{"text", std::string(250, 'x')}});
    EXPECT_NE(reply.value("error", "").find("too long"), std::string::npos) << reply;
    EXPECT_TRUE(tv.keypresses().empty());
    EXPECT_FALSE(command("text", {{"text", std::string(100, 'x')}}).contains("error"));
    EXPECT_EQ(tv.keypresses().size(), 100u);
}

TEST_F(RokuBackendTest, ASlowTVStopsTypingBeforeTheRequestBudgetRunsOut) {
    connectTV();
    transport_->setLatency(1.0);
    const double start = loop.now();
    const json reply = command("text", {{"text", std::string(40, 'x')}});
    EXPECT_LE(loop.now() - start, RokuOptions{}.requestBudget);
    EXPECT_NE(reply["error"].get<std::string>().find("characters were typed"), std::string::npos);
}

TEST_F(RokuBackendTest, TheTimeSpentFindingTheTVCountsAgainstTheBudget) {
    transport_->setLatency(1.0);
    // The stick is not known yet: a search, with a silent address taking 5 s, comes first.
    const double start = loop.now();
    const json reply = command("text", {{"text", std::string(30, 'x')}, {"device", kStick}});
    EXPECT_LE(loop.now() - start, RokuOptions{}.requestBudget);
    EXPECT_NE(reply.value("error", "").find("characters were typed"), std::string::npos);
}

TEST_F(RokuBackendTest, LaunchEncodesTheAppID) {
    connectTV();
    EXPECT_FALSE(command("launchApp", {{"app", "dev/my app.v2"}}).contains("error"));
    const auto requests = tv.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().method, "POST");
    EXPECT_EQ(requests.back().target, "/launch/dev%2Fmy%20app.v2");
    EXPECT_EQ(command("launchApp", {{"app", "nothing.here"}})["error"],
              "Bedroom TV has no app \"nothing.here\".");
}

TEST_F(RokuBackendTest, LimitedModeShowsItsNoticeUntilTheTVTakesCommandsAgain) {
    connectTV();
    takeEvents();
    tv.setLimited(true);
    EXPECT_EQ(command("up")["error"], RokuTexts::kLimitedMode);
    EXPECT_EQ(command("launchApp", {{"app", "12"}})["error"], RokuTexts::kLimitedMode);
    loop.advance(3.5);  // the polls still answer: the notice must stay all the same
    auto states = takeStates(kTV);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front()["notice"], RokuTexts::kLimitedMode);
    EXPECT_EQ(states.back()["notice"], RokuTexts::kLimitedMode);

    tv.setLimited(false);
    loop.advance(1.5);
    EXPECT_TRUE(takeStates(kTV).empty());
    EXPECT_FALSE(command("up").contains("error"));
    states = takeStates(kTV);
    ASSERT_FALSE(states.empty());
    EXPECT_FALSE(states.back().contains("notice"));
}

TEST_F(RokuBackendTest, ATVThatStopsAnsweringIsDroppedAndFoundAgainAtItsNewAddress) {
    connectTV();
    takeEvents();
    transport_->place(kTVAddress, nullptr);
    loop.advance(20.0);
    auto events = takeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], json({{"event", "disconnected"},
                               {"device", kTV},
                               {"reason", "Bedroom TV stopped answering on the network."}}));
    EXPECT_EQ(command("up")["error"], RokuTexts::kNotConnected);

    // It comes back elsewhere: the last address fails, the search finds it.
    transport_->place("127.0.0.1:18062", &tv);
    const json reply = call({{"op", "connect"}, {"device", kTV}});
    EXPECT_FALSE(reply.contains("error")) << reply;
    loop.advance(0.1);
    auto states = takeStates(kTV);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back()["address"], "127.0.0.1:18062");
}

TEST_F(RokuBackendTest, ATVThatRefusesEvenItsDeviceInfoGetsTheLimitedSentence) {
    tv.setLimited(true, /*evenDeviceInfo=*/true);
    EXPECT_EQ(call({{"op", "connect"}, {"device", kTV}})["error"], RokuTexts::kLimitedMode);
}

TEST_F(RokuBackendTest, ASilentTVIsAskedOnceBeforeItIsNotFound) {
    call({{"op", "scan"}});
    transport_->place(kTVAddress, nullptr);
    transport_->place("127.0.0.1:18062", &stick);  // every other address answers at once
    const double start = loop.now();
    EXPECT_EQ(call({{"op", "connect"}, {"device", kTV}})["error"],
              RokuTexts::notFound("Bedroom TV"));
    // Its last address, then a search that does not wait on that address a second time.
    EXPECT_LT(loop.now() - start, 2 * DeviceTransport::kTimeout);
}

TEST_F(RokuBackendTest, AnotherRokuAtTheSameAddressIsNotTakenForTheTV) {
    connectTV();
    takeEvents();
    transport_->place(kTVAddress, &stick);  // the stick got the TV's old lease
    loop.advance(6.0);
    auto events = takeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back()["event"], "disconnected");
    EXPECT_EQ(events.back()["reason"], RokuTexts::movedAway("Bedroom TV", kTVAddress));
    stick.clearRequests();
    EXPECT_EQ(command("up")["error"], RokuTexts::kNotConnected);
    EXPECT_TRUE(stick.keypresses().empty());
}

TEST_F(RokuBackendTest, AWatchedTVIsFollowedAtItsOwnPaceUntilDisconnected) {
    ASSERT_FALSE(call({{"op", "watch"}, {"device", kTV}}).contains("error"));
    loop.advance(0.1);
    EXPECT_EQ(takeStates(kTV).size(), 1u);
    tv.clearRequests();
    loop.advance(9.0);
    const auto polls = tv.requests();
    auto count = [&](const std::string& target) {
        return std::count_if(polls.begin(), polls.end(),
                             [&](const auto& request) { return request.target == target; });
    };
    EXPECT_EQ(count("/query/active-app"), 3);  // every 3 s
    EXPECT_GE(count("/query/device-info"), 1);
    EXPECT_EQ(roku->connectedID(), "");

    ASSERT_FALSE(call({{"op", "disconnect"}, {"device", kTV}}).contains("error"));
    tv.clearRequests();
    loop.advance(10.0);
    EXPECT_TRUE(tv.requests().empty());
    EXPECT_TRUE(takeEvents().empty());
}

TEST_F(RokuBackendTest, AppsComeInTheTVsOrderWithItsInputs) {
    EXPECT_EQ(call({{"op", "apps"}, {"device", kTV}})["apps"],
              json::parse(R"([{"id":"12","name":"Netflix"},{"id":"837","name":"YouTube"},
                              {"id":"tvinput.hdmi1","name":"HDMI 1"},
                              {"id":"dev/my app.v2","name":"Side Loaded"}])"));
}

TEST_F(RokuBackendTest, OtherTVsAndPairingAreRefusedWithASentence) {
    EXPECT_EQ(call({{"op", "connect"}, {"device", "sim:living-room"}})["error"],
              RokuTexts::kAppleTVNotBuilt);
    EXPECT_EQ(call({{"op", "pairBegin"}, {"device", "atv:1"}, {"protocol", "AirPlay"}})["error"],
              RokuTexts::kAppleTVNotBuilt);
    call({{"op", "scan"}});
    EXPECT_EQ(call({{"op", "pairBegin"}, {"device", kTV}, {"protocol", "AirPlay"}})["error"],
              "Bedroom TV does not need pairing.");
    EXPECT_EQ(call({{"op", "connect"}, {"device", "roku:NOBODY"}})["error"],
              RokuTexts::notFound("The TV \"roku:NOBODY\""));
}

TEST_F(RokuBackendTest, ConnectingAnotherTVEndsTheOldConnection) {
    connectTV();
    takeEvents();
    ASSERT_FALSE(call({{"op", "connect"}, {"device", kStick}}).contains("error"));
    auto events = takeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], json({{"event", "disconnected"}, {"device", kTV}}));
    EXPECT_EQ(roku->followed(kTV), nullptr);
}

}  // namespace
}  // namespace orvel::test

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "../../support/FakeRokuDevice.hpp"
#include "../BridgeLines.hpp"
#include "../Loopback.hpp"
#include "bridge/roku/FixedRokuHosts.hpp"
#include "bridge/roku/RokuBackend.hpp"
#include "bridge/roku/RokuTexts.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel::test {
namespace {

// Hands each request to the fake Roku at its address, answering after a virtual latency; an
// address nobody is at fails after the time-out, as a silent TV does.
class DeviceTransport final : public HttpTransport {
public:
    static constexpr double kTimeout = 5.0;

    explicit DeviceTransport(ManualLoop& loop) : loop_(loop) {}
    void place(const std::string& hostPort, FakeRokuDevice* device) { devices_[hostPort] = device; }
    void setLatency(double seconds) { latency_ = seconds; }

    CancelHandle send(HttpRequest request, HttpDone done) override {
        const std::string rest = request.url.substr(std::string("http://").size());
        const auto slash = rest.find('/');
        const std::string hostPort = rest.substr(0, slash);
        FakeRokuDevice* device = devices_[hostPort];
        if (!device) {
            return loop_.postAfter(kTimeout, [done] { done({"timed out", true, 0, {}}); });
        }
        const FakeHttpResponse answer =
            device->handle({request.method == HttpMethod::post ? "POST" : "GET",
                            rest.substr(slash),
                            {{"host", hostPort}},
                            {}});
        HttpResponse response{{}, false, answer.status, answer.body};
        return loop_.postAfter(latency_, [done, response] { done(response); });
    }

private:
    ManualLoop& loop_;
    std::map<std::string, FakeRokuDevice*> devices_;
    double latency_ = 0.01;
};

const char* const kTVAddress = "127.0.0.1:18060";
const char* const kStickAddress = "127.0.0.1:18061";
const char* const kNobodyAddress = "127.0.0.1:18062";
const char* const kTV = "roku:X00000FAKE01";
const char* const kStick = "roku:YSTICK0002";
const std::string kLimitedSentence =
    "This Roku blocks remote apps. On the TV, open Settings → System → Advanced system settings → "
    "Control by mobile apps → Network access, and choose Default.";

// A UDP socket on 127.0.0.1 where the backend's wake-up packets go, as ORVEL_WAKE_BROADCAST
// sends them.
class WakeListener {
public:
    WakeListener() : socket_(boundToLoopback(SOCK_DGRAM, destination_)) {}
    WakeOnLan wakeOnLan() const { return WakeOnLan(destination_); }
    // The packets that arrived so far, oldest first; loopback delivers them at once.
    std::vector<std::vector<std::uint8_t>> take() {
        std::vector<std::vector<std::uint8_t>> packets;
        std::vector<std::uint8_t> buffer(1024);
        for (ssize_t got;
             (got = ::recv(socket_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT)) >= 0;)
            packets.emplace_back(buffer.begin(), buffer.begin() + got);
        return packets;
    }

private:
    sockaddr_in destination_{};
    UniqueFd socket_;
};

class RokuBackendTest : public ::testing::Test, public BridgeLines {
protected:
    RokuBackendTest() : transport_(new DeviceTransport(loop)) {
        transport_->place(kTVAddress, &tv);
        transport_->place(kStickAddress, &stick);
        // this: pump is a member of this fixture.
        pump = [this](const std::function<bool()>& ready) {
            loop.runUntilIdle();
            for (int step = 0; step < 600 && !ready(); ++step) loop.advance(0.05);
        };
        auto backend = std::make_unique<RokuBackend>(
            loop, std::unique_ptr<HttpTransport>(transport_),
            std::make_unique<FixedRokuHosts>(
                loop, std::vector<std::string>{kTVAddress, kStickAddress, kNobodyAddress}),
            RokuOptions{}, wake.wakeOnLan());
        roku = backend.get();
        dispatcher = Dispatcher::create(loop, std::move(backend), {}, output());
    }
    ~RokuBackendTest() override { dispatcher.reset(); }

    json command(const std::string& action, json extra = json::object()) {
        extra["op"] = "command";
        extra["action"] = action;
        return call(extra);
    }
    json connect(const char* device = kTV) { return call({{"op", "connect"}, {"device", device}}); }
    // Connects the TV and forgets what that asked and sent.
    void connectTV() {
        const json reply = connect();
        ASSERT_EQ(reply.size(), 1u) << reply;  // the id alone: success
        loop.advance(0.1);
        tv.clearRequests();
        takeEvents();
    }
    // The last state event of the TV since the last look, null when none.
    json lastState() {
        const auto states = takeStates(kTV);
        return states.empty() ? json() : states.back();
    }
    std::string errorOf(const json& reply) { return reply.value("error", ""); }

    ManualLoop loop;
    // The TV has an app whose id needs encoding; the stick has no volume or power keys.
    FakeRokuDevice tv{[] {
        FakeRokuConfig config;
        config.apps.push_back({"dev/my app.v2", "Side Loaded"});
        return config;
    }()};
    FakeRokuDevice stick{{.serialNumber = "YSTICK0002",
                          .userDeviceName = "",
                          .friendlyModelName = "Roku Stick",
                          .isTv = false}};
    WakeListener wake;
    DeviceTransport* transport_;  // owned by the backend
    RokuBackend* roku = nullptr;
};

TEST_F(RokuBackendTest, ScanAndAppsKeepTheTVsOrder) {
    EXPECT_EQ(call({{"op", "scan"}})["devices"],
              json::parse(R"([{"id":"roku:X00000FAKE01","name":"Bedroom TV","protocols":[]},
                              {"id":"roku:YSTICK0002","name":"Roku Stick","protocols":[]}])"));
    EXPECT_EQ(call({{"op", "apps"}, {"device", kTV}})["apps"],
              json::parse(R"([{"id":"12","name":"Netflix"},{"id":"837","name":"YouTube"},
                              {"id":"tvinput.hdmi1","name":"HDMI 1"},
                              {"id":"dev/my app.v2","name":"Side Loaded"}])"));
}

TEST_F(RokuBackendTest, ConnectSendsTheTVsStateAndPollsWithoutRepeatingIt) {
    tv.setActiveApp("12");
    tv.setPlayer("play", 1000, 60000);
    ASSERT_TRUE(succeeded(connect()));
    loop.advance(0.1);
    auto states = takeStates(kTV);
    ASSERT_EQ(states.size(), 1u);
    const json expected = json::parse(R"({"app":"Netflix","app_id":"12","playing":true,
        "address":"127.0.0.1:18060","power":"On","duration":60.0,"volume":null})");
    EXPECT_EQ(pick(states[0], expected), expected);
    EXPECT_NE(states[0]["capabilities"].dump().find("\"volumeUp\""), std::string::npos);

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
    std::istringstream table(
        "up:Up down:Down left:Left right:Right select:Select back:Back home:Home menu:Info "
        "playPause:Play skipForward:Fwd skipBackward:InstantReplay volumeUp:VolumeUp "
        "volumeDown:VolumeDown mute:VolumeMute sleep:PowerOff wake:PowerOn");
    for (std::string row; table >> row;) {
        const std::string action = row.substr(0, row.find(':'));
        tv.clearRequests();
        EXPECT_EQ(command(action).size(), 1u) << action;  // the id alone: success
        EXPECT_EQ(tv.keypresses(),
                  std::vector<std::string>{"/keypress/" + row.substr(row.find(':') + 1)})
            << action;
    }
    for (const char* action : {"next", "previous", "appSwitcher", "controlCenter"}) {
        EXPECT_EQ(errorOf(command(action)), RokuTexts::unsupported("Bedroom TV", action));
    }
    EXPECT_EQ(errorOf(command("setVolume", {{"volume", 20}})),
              RokuTexts::unsupported("Bedroom TV", "setVolume"));

    // A stick has no volume or power keys.
    for (const char* action : {"volumeUp", "mute", "sleep", "wake"}) {
        EXPECT_EQ(errorOf(command(action, {{"device", kStick}})),
                  RokuTexts::unsupported("Roku Stick", action));
    }
    EXPECT_TRUE(succeeded(command("select", {{"device", kStick}})));
    EXPECT_EQ(stick.keypresses(), std::vector<std::string>{"/keypress/Select"});
}

TEST_F(RokuBackendTest, PowerShowsRightAfterSleepAndWake) {
    connectTV();
    for (const char* action : {"sleep", "wake"}) {
        ASSERT_TRUE(succeeded(command(action)));
        loop.advance(0.5);  // well before the regular device-info look
        const json state = lastState();
        EXPECT_EQ(state.value("power", ""), action == std::string("sleep") ? "Off" : "On");
        EXPECT_EQ(state["capabilities"].size() == 1, action == std::string("sleep")) << state;
    }
}

TEST_F(RokuBackendTest, AWakeTheTVDoesNotAnswerSendsTheWakeUpPacketThenPowersOn) {
    // 6 x 0xff, then the MAC 16 times: one packet for the wifi and one for the ethernet MAC.
    auto magic = [](std::uint8_t last) {
        std::vector<std::uint8_t> packet(6, 0xff);
        for (int i = 0; i < 16; ++i) packet.insert(packet.end(), {2, 0, 0, 0x0a, 0x0b, last});
        return packet;
    };
    const std::vector<std::vector<std::uint8_t>> bothMacs = {magic(1), magic(2)};
    const double budget = RokuOptions{}.requestBudget;
    struct Row {
        const char* scene;
        bool deepStandby;  // the TV answers nothing until a packet arrives
        bool answersAfterPacket;
        bool stillConnected;  // else only met earlier in this run
        std::string error;    // empty: woken
        std::size_t fewestPackets;
    };
    const Row rows[] = {
        {"on", false, true, true, "", 0},
        {"deep standby", true, true, true, "", 2},
        {"deep standby, met earlier", true, true, false, "", 2},
        {"unplugged", true, false, false, RokuTexts::notWoken("Bedroom TV"), 6},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scene);
        transport_->place(kTVAddress, &tv);
        connectTV();
        if (!row.stillConnected) {
            ASSERT_TRUE(succeeded(call({{"op", "disconnect"}})));
        }
        if (row.deepStandby) transport_->place(kTVAddress, nullptr);
        tv.clearRequests();
        wake.take();
        std::vector<std::vector<std::uint8_t>> packets;
        const auto usual = pump;
        pump = [&](const std::function<bool()>& ready) {
            usual([&] {
                for (auto& packet : wake.take()) packets.push_back(std::move(packet));
                if (!packets.empty() && row.answersAfterPacket) transport_->place(kTVAddress, &tv);
                return ready();
            });
        };
        const double start = loop.now();
        const json reply = command("wake", {{"device", kTV}});
        pump = usual;
        EXPECT_EQ(errorOf(reply), row.error) << reply;
        EXPECT_LE(loop.now() - start, budget);
        EXPECT_GE(packets.size(), row.fewestPackets);
        EXPECT_EQ(packets.empty(), row.fewestPackets == 0);
        for (std::size_t i = 0; i < packets.size(); ++i) EXPECT_EQ(packets[i], bothMacs[i % 2]);
        const auto keys = tv.keypresses();
        EXPECT_EQ(keys, row.answersAfterPacket ? std::vector<std::string>{"/keypress/PowerOn"}
                                               : std::vector<std::string>{});
    }
}

TEST_F(RokuBackendTest, PlayAndPausePressPlayOnlyWhenThePlayerNeedsIt) {
    connectTV();
    tv.setActiveApp("12");
    // The player's state, the action and how many keys it takes.
    std::istringstream table("pause:play:1 play:play:0 play:pause:1 pause:pause:0 close:pause:0");
    for (std::string row; table >> row;) {
        const auto first = row.find(':'), second = row.rfind(':');
        tv.setPlayer(row.substr(0, first), 0, 1000);
        tv.clearRequests();
        EXPECT_TRUE(succeeded(command(row.substr(first + 1, second - first - 1))));
        EXPECT_EQ(std::to_string(tv.keypresses().size()), row.substr(second + 1)) << row;
    }
}

TEST_F(RokuBackendTest, TextIsTypedScalarByScalarAndTooMuchIsRefusedUpFront) {
    connectTV();
    EXPECT_NE(errorOf(command("text", {{"text", std::string(251, 'x')}})).find("at most 250"),
              std::string::npos);
    EXPECT_TRUE(tv.keypresses().empty());

    transport_->setLatency(0.08);  // a little slower than most: 250 keys would take 20 s
    EXPECT_TRUE(succeeded(command("text", {{"text", "é字😀%a"}})));
    EXPECT_EQ(tv.keypresses(),
              (std::vector<std::string>{"/keypress/Lit_%C3%A9", "/keypress/Lit_%E5%AD%97",
                                        "/keypress/Lit_%F0%9F%98%80", "/keypress/Lit_%25",
                                        "/keypress/Lit_a"}));
    tv.clearRequests();
    const json reply = command("text", {{"text", std::string(250, 'x')}});
    EXPECT_NE(errorOf(reply).find("too long"), std::string::npos) << reply;
    EXPECT_TRUE(tv.keypresses().empty());
    EXPECT_TRUE(succeeded(command("text", {{"text", std::string(100, 'x')}})));
    EXPECT_EQ(tv.keypresses().size(), 100u);

    // Fast for a while, then slow again: the slow pace counts at once, or 220 keys at 0.08 s
    // would be accepted and cut off when the budget runs out.
    transport_->setLatency(0.01);
    EXPECT_TRUE(succeeded(command("text", {{"text", std::string(10, 'x')}})));
    EXPECT_TRUE(succeeded(command("text", {{"text", std::string(10, 'x')}})));
    transport_->setLatency(0.08);
    EXPECT_TRUE(succeeded(command("text", {{"text", "x"}})));
    tv.clearRequests();
    EXPECT_NE(errorOf(command("text", {{"text", std::string(220, 'x')}})).find("too long"),
              std::string::npos);
    EXPECT_TRUE(tv.keypresses().empty());
}

TEST_F(RokuBackendTest, ASlowTVStopsTypingBeforeTheRequestBudgetRunsOut) {
    transport_->setLatency(1.0);
    // First the stick, not known yet: the search before it, with a silent address taking 5 s,
    // counts against the budget too. Then the connected TV.
    for (const char* device : {kStick, kTV}) {
        SCOPED_TRACE(device);
        if (device == kTV) connectTV();
        const double start = loop.now();
        const json reply = command("text", {{"text", std::string(40, 'x')}, {"device", device}});
        EXPECT_LE(loop.now() - start, RokuOptions{}.requestBudget);
        EXPECT_NE(errorOf(reply).find("characters were typed"), std::string::npos) << reply;
    }
}

TEST_F(RokuBackendTest, LaunchEncodesTheAppID) {
    connectTV();
    transport_->setLatency(3.0);  // a slow launch says nothing of how fast keys are typed
    EXPECT_TRUE(succeeded(command("launchApp", {{"app", "dev/my app.v2"}})));
    transport_->setLatency(0.01);
    std::vector<std::string> posts;
    for (const auto& request : tv.requests()) {
        if (request.method == "POST") posts.push_back(request.target);
    }
    EXPECT_EQ(posts, std::vector<std::string>{"/launch/dev%2Fmy%20app.v2"});
    EXPECT_EQ(errorOf(command("launchApp", {{"app", "nothing.here"}})),
              "Bedroom TV has no app \"nothing.here\".");
    EXPECT_TRUE(succeeded(command("text", {{"text", std::string(100, 'x')}})));
}

TEST_F(RokuBackendTest, LimitedModeShowsItsNoticeUntilTheTVTakesCommandsAgain) {
    connectTV();
    tv.setLimited(true);
    EXPECT_EQ(errorOf(command("up")), kLimitedSentence);
    EXPECT_EQ(errorOf(command("launchApp", {{"app", "12"}})), kLimitedSentence);
    loop.advance(3.5);  // the polls still answer: the notice must stay all the same
    auto states = takeStates(kTV);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front()["notice"], kLimitedSentence);
    EXPECT_EQ(states.back()["notice"], kLimitedSentence);

    tv.setLimited(false);
    loop.advance(1.5);
    EXPECT_TRUE(takeStates(kTV).empty());
    EXPECT_TRUE(succeeded(command("up")));
    const json state = lastState();
    EXPECT_FALSE(state.is_null() || state.contains("notice")) << state;
}

TEST_F(RokuBackendTest, ATVThatStopsAnsweringIsDroppedAndFoundAgainAtItsNewAddress) {
    connectTV();
    transport_->place(kTVAddress, nullptr);
    EXPECT_EQ(errorOf(command("up")), RokuTexts::didNotAnswer("Bedroom TV"));
    loop.advance(20.0);
    const json lost = {{"event", "disconnected"},
                       {"device", kTV},
                       {"reason", "Bedroom TV stopped answering on the network."}};
    EXPECT_EQ(takeEvents(), std::vector<json>{lost});
    EXPECT_EQ(errorOf(command("up")), RokuTexts::kNotConnected);

    // It comes back elsewhere: the last address fails, the search finds it.
    transport_->place(kNobodyAddress, &tv);
    ASSERT_TRUE(succeeded(connect()));
    loop.advance(0.1);
    EXPECT_EQ(lastState()["address"], kNobodyAddress);
}

TEST_F(RokuBackendTest, ASilentTVIsAskedOnceBeforeItIsNotFound) {
    call({{"op", "scan"}});
    transport_->place(kTVAddress, nullptr);
    transport_->place(kNobodyAddress, &stick);  // every other address answers at once
    const double start = loop.now();
    EXPECT_EQ(errorOf(connect()), RokuTexts::notFound("Bedroom TV"));
    // Its last address, then a search that does not wait on that address a second time.
    EXPECT_LT(loop.now() - start, 2 * DeviceTransport::kTimeout);
}

TEST_F(RokuBackendTest, AnotherRokuAtTheTVsAddressOrConnectedEndsTheConnection) {
    connectTV();
    ASSERT_TRUE(succeeded(connect(kStick)));
    auto events = takeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], json({{"event", "disconnected"}, {"device", kTV}}));
    tv.clearRequests();
    loop.advance(6.0);
    EXPECT_TRUE(tv.requests().empty()) << "the TV left behind is no longer followed";

    connectTV();
    transport_->place(kTVAddress, &stick);  // the stick got the TV's old lease
    loop.advance(6.0);
    events = takeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), json({{"event", "disconnected"},
                                   {"device", kTV},
                                   {"reason", RokuTexts::movedAway("Bedroom TV", kTVAddress)}}));
    stick.clearRequests();
    EXPECT_EQ(errorOf(command("up")), RokuTexts::kNotConnected);
    EXPECT_TRUE(stick.keypresses().empty());
}

TEST_F(RokuBackendTest, AnAppleTVConnectingReleasesTheConnectionButKeepsAWatch) {
    connectTV();
    roku->releaseConnection();
    EXPECT_EQ(takeEvents(), std::vector<json>{json({{"event", "disconnected"}, {"device", kTV}})});
    EXPECT_EQ(errorOf(command("up")), RokuTexts::kNotConnected);

    ASSERT_TRUE(succeeded(call({{"op", "watch"}, {"device", kTV}})));
    connectTV();
    roku->releaseConnection();
    for (const json& event : takeEvents()) EXPECT_NE(event["event"], "disconnected") << event;
    loop.advance(4.0);
    EXPECT_FALSE(tv.requests().empty()) << "still watched";
}

TEST_F(RokuBackendTest, AWatchedTVIsFollowedAtItsOwnPaceUntilDisconnected) {
    ASSERT_TRUE(succeeded(call({{"op", "watch"}, {"device", kTV}})));
    loop.advance(0.1);
    EXPECT_EQ(takeStates(kTV).size(), 1u);
    tv.clearRequests();
    loop.advance(9.0);
    std::map<std::string, int> asked;
    for (const auto& request : tv.requests()) ++asked[request.target];
    EXPECT_EQ(asked["/query/active-app"], 3);  // every 3 s
    EXPECT_GE(asked["/query/device-info"], 1);
    EXPECT_EQ(errorOf(command("up")), RokuTexts::kNotConnected) << "watching is not connecting";

    ASSERT_TRUE(succeeded(call({{"op", "disconnect"}, {"device", kTV}})));
    tv.clearRequests();
    loop.advance(10.0);
    EXPECT_TRUE(tv.requests().empty());
    EXPECT_TRUE(takeEvents().empty());
}

TEST_F(RokuBackendTest, OtherTVsPairingAndLimitedDeviceInfoAreRefusedWithASentence) {
    EXPECT_EQ(errorOf(connect("sim:living-room")), RokuTexts::kNotARoku);
    EXPECT_EQ(errorOf(call({{"op", "pairBegin"}, {"device", "atv:1"}, {"protocol", "AirPlay"}})),
              RokuTexts::kNotARoku);
    call({{"op", "scan"}});
    EXPECT_EQ(errorOf(call({{"op", "pairBegin"}, {"device", kTV}, {"protocol", "AirPlay"}})),
              "Bedroom TV does not need pairing.");
    EXPECT_EQ(errorOf(connect("roku:NOBODY")), RokuTexts::notFound("The TV \"roku:NOBODY\""));
    tv.setLimited(true, /*evenDeviceInfo=*/true);
    EXPECT_EQ(errorOf(connect()), kLimitedSentence);
}

}  // namespace
}  // namespace orvel::test

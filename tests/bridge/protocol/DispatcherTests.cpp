#include "bridge/protocol/Dispatcher.hpp"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "../BridgeLines.hpp"
#include "bridge/sim/Household.hpp"
#include "bridge/sim/SimBackend.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel::test {
namespace {

class BridgeHarness : public BridgeLines {
public:
    explicit BridgeHarness(Household household = Household::builtIn()) : tvs(household.tvs) {
        auto backend = std::make_unique<SimBackend>(loop, std::move(household.tvs));
        dispatcher =
            Dispatcher::create(loop, std::move(backend), std::move(household.faults), output());
    }
    // The dispatcher, in the base, must go before the loop it was given.
    ~BridgeHarness() { dispatcher.reset(); }
    BridgeHarness(const BridgeHarness&) = delete;
    BridgeHarness& operator=(const BridgeHarness&) = delete;

    json pairAndConnect(const std::string& device) {
        return call({{"op", "connect"}, {"device", device}, {"credentials", credentials(device)}});
    }
    json credentials(const std::string& device) {
        json all = json::object();
        for (const auto& tv : tvs) {
            if (tv.id != device) continue;
            for (const auto& protocol : tv.protocols) {
                all[protocol] = SimBackend::credentialFor(tv, protocol);
            }
        }
        return all;
    }

    ManualLoop loop;
    std::vector<SimTVConfig> tvs;
};

const std::string kLiving = "sim:living-room";
const std::string kKitchen = "sim:kitchen";
const std::string kBedroom = "roku:sim-bedroom";
const char* const kNoPairing = "No pairing is in progress. Start pairing again.";

TEST(Dispatcher, StartsWithReadyAndScansTheHousehold) {
    BridgeHarness bridge;
    bridge.dispatcher->start();
    ASSERT_EQ(bridge.takeEvents(), (std::vector<json>{json{{"event", "ready"}}}));

    auto reply = bridge.call({{"op", "scan"}});
    EXPECT_EQ(reply["devices"], json::parse(R"([
        {"id":"sim:living-room","name":"Living Room","protocols":["AirPlay","Companion"]},
        {"id":"sim:kitchen","name":"Kitchen","protocols":["Companion"]},
        {"id":"roku:sim-bedroom","name":"Bedroom TV","protocols":[]}])"));
}

TEST(Dispatcher, PairingHandsOutCredentialsOnlyForTheRightPinAndCanBeCancelled) {
    BridgeHarness bridge;
    std::set<std::string> issued;
    for (auto [device, protocol, pin] : {std::tuple{kLiving, "AirPlay", "1234"},
                                         {kLiving, "Companion", "1234"},
                                         {kKitchen, "Companion", "4321"}}) {
        SCOPED_TRACE(device + " " + protocol);
        auto finish = [&](const char* tried) {
            return bridge.call({{"op", "pairFinish"}, {"pin", tried}});
        };
        const json begin = {{"op", "pairBegin"}, {"device", device}, {"protocol", protocol}};
        EXPECT_TRUE(succeeded(bridge.call(begin)));
        EXPECT_EQ(finish("0000")["error"].get<std::string>().rfind("The PIN does not match", 0),
                  0u);
        EXPECT_EQ(finish(pin)["error"], kNoPairing) << "a wrong PIN ends the pairing";
        EXPECT_TRUE(succeeded(bridge.call(begin)));
        auto right = finish(pin);
        EXPECT_EQ(right["protocol"], protocol);
        issued.insert(right.value("credentials", ""));
    }
    EXPECT_EQ(issued.size(), 3u) << "credentials are unique per TV and protocol";

    for (const auto& [device, protocol, error] :
         {std::tuple{kBedroom, "AirPlay", "Bedroom TV does not need pairing."},
          {kKitchen, "AirPlay", "Kitchen cannot pair over \"AirPlay\"."},
          {"sim:attic", "AirPlay", "The TV \"sim:attic\" was not found on the network."},
          {kKitchen, "Companion", ""}}) {
        EXPECT_EQ(bridge.call({{"op", "pairBegin"}, {"device", device}, {"protocol", protocol}})
                      .value("error", ""),
                  error);
    }
    EXPECT_TRUE(succeeded(bridge.call({{"op", "pairCancel"}})));
    EXPECT_EQ(bridge.call({{"op", "pairFinish"}, {"pin", "4321"}})["error"], kNoPairing);
}

TEST(Dispatcher, RequestsForAPairedTVInsistOnItsCredentials) {
    const std::string companion =
        SimBackend::credentialFor(Household::builtIn().tvs[0], "Companion");
    const std::string airplay = SimBackend::credentialFor(Household::builtIn().tvs[0], "AirPlay");
    const std::vector<std::tuple<json, std::string>> cases = {
        {nullptr, "Living Room is not paired. Pair it first."},
        {json::object(), "Living Room is not paired. Pair it first."},
        {{{"AirPlay", airplay}}, "Living Room is not paired for Companion. Pair it again."},
        {{{"AirPlay", airplay}, {"Companion", airplay}},
         "Living Room did not accept the Companion credentials. Pair it again."},
        {{{"AirPlay", airplay}, {"Companion", companion}}, ""},
    };
    for (const std::string op : {"connect", "watch", "apps", "command"}) {
        for (const auto& [credentials, error] : cases) {
            SCOPED_TRACE(op + " " + credentials.dump());
            BridgeHarness bridge;
            json request = {{"op", op}, {"device", kLiving}, {"action", "wake"}};
            if (!credentials.is_null()) request["credentials"] = credentials;
            EXPECT_EQ(bridge.call(request).value("error", ""), error);
            const bool follows = error.empty() && (op == "connect" || op == "watch");
            EXPECT_EQ(bridge.takeEvents().size(), follows ? 1u : 0u);
        }
    }
    EXPECT_EQ(BridgeHarness().call({{"op", "apps"}, {"device", kBedroom}})["apps"].size(), 4u)
        << "a Roku TV needs no credentials";
}

TEST(Dispatcher, ConnectReportsStateAndReplacesTheOldConnection) {
    BridgeHarness bridge;
    ASSERT_TRUE(succeeded(bridge.pairAndConnect(kBedroom)));
    auto states = bridge.takeStates(kBedroom);
    ASSERT_EQ(states.size(), 1u);
    const json expected = json::parse(R"({"power":"On","volume":30,"playing":false,
                                          "text_focused":false,"address":"127.0.0.1"})");
    EXPECT_EQ(pick(states[0], expected), expected);
    EXPECT_EQ(states[0]["capabilities"].size(), 22u) << "no setVolume, appSwitcher, controlCenter";

    // The apps of the connected TV, no device named.
    EXPECT_EQ(bridge.call({{"op", "apps"}})["apps"].size(), 4u);

    ASSERT_TRUE(succeeded(bridge.pairAndConnect(kLiving)));
    auto events = bridge.takeEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], json({{"event", "disconnected"}, {"device", kBedroom}}));
    EXPECT_EQ(events[1]["device"], kLiving);
    EXPECT_EQ(events[1]["capabilities"].size(), 25u);
}

TEST(Dispatcher, EveryChangeOfAFollowedTVIsReportedOnce) {
    BridgeHarness bridge;
    bridge.pairAndConnect(kBedroom);
    bridge.call(
        {{"op", "watch"}, {"device", kKitchen}, {"credentials", bridge.credentials(kKitchen)}});
    bridge.takeEvents();

    struct Case {
        json command;
        std::string device;
        size_t states;
    };
    const std::vector<Case> cases = {
        {{{"action", "volumeUp"}}, kBedroom, 1},
        {{{"action", "up"}}, kBedroom, 0},  // moving the focus changes nothing reported
        {{{"action", "launchApp"}, {"app", "tvinput.hdmi2"}}, kBedroom, 1},
        {{{"action", "launchApp"}, {"app", "tvinput.hdmi2"}}, kBedroom, 0},
        {{{"action", "mute"}, {"device", kKitchen}}, kKitchen, 1},  // watched: no credentials
    };
    for (const auto& [command, device, states] : cases) {
        SCOPED_TRACE(command.dump());
        json request = command;
        request["op"] = "command";
        EXPECT_TRUE(succeeded(bridge.call(request)));
        EXPECT_EQ(bridge.takeStates(device).size(), states);
    }

    bridge.call({{"op", "disconnect"}});
    EXPECT_EQ(bridge.call({{"op", "command"}, {"action", "mute"}})["error"],
              "No TV is connected. Connect to a TV first.");
    bridge.call({{"op", "command"}, {"action", "mute"}, {"device", kBedroom}});
    EXPECT_TRUE(bridge.takeEvents().empty()) << "a dropped TV falls silent";
}

TEST(Dispatcher, PlaybackPositionAdvancesWithTheClockAndEndsOnItsOwn) {
    BridgeHarness bridge;
    bridge.pairAndConnect(kBedroom);
    bridge.call({{"op", "command"}, {"action", "launchApp"}, {"app", "youtube"}});
    bridge.call({{"op", "command"}, {"action", "play"}});
    EXPECT_EQ(bridge.takeStates(kBedroom).back()["duration"], 754.0);
    bridge.loop.advance(100.5);
    EXPECT_TRUE(bridge.takeEvents().empty()) << "no events while nothing but time changes";
    bridge.call({{"op", "command"}, {"action", "pause"}});
    bridge.loop.advance(1000);
    bridge.call({{"op", "command"}, {"action", "play"}});
    EXPECT_DOUBLE_EQ(bridge.takeStates(kBedroom).back()["position"].get<double>(), 100.5)
        << "paused, the position stays";

    bridge.loop.advance(653.0);
    EXPECT_TRUE(bridge.takeEvents().empty());
    bridge.loop.advance(1.0);  // 754 s reached
    const auto ended = bridge.takeStates(kBedroom);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0]["playing"], false);
    EXPECT_DOUBLE_EQ(ended[0]["position"].get<double>(), 754.0);
}

// A request of op "bogus" whose "x" nests `depth` levels below the request itself.
std::string nested(std::size_t depth) {
    return R"({"id":8,"op":"bogus","x":)" + std::string(depth, '[') + std::string(depth, ']') + "}";
}

TEST(Dispatcher, BadLinesAreAnsweredWhenTheyHaveAnIdAndNeverStopTheBridge) {
    BridgeHarness bridge;
    const std::vector<std::tuple<std::string, std::string>> cases = {
        {nested(63), R"({"id":8,"error":"The operation \"bogus\" is not known."})"},
        {nested(64), ""},  // deeper than any request: not read at all
        {"not json at all", ""},
        {"[1,2,3]", ""},
        {R"({"op":"scan"})", ""},                   // no id: nobody to answer
        {"{\"op\":\"scan\",\"id\":\"\xff\"}", ""},  // not UTF-8
        {R"({"id":null,"op":"bogus"})", ""},
        {R"({"id":7})", R"({"id":7,"error":"The request has no \"op\" text."})"},
    };
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line);
        bridge.send(line);
        if (expected.empty()) {
            EXPECT_TRUE(bridge.lines.empty());
        } else {
            ASSERT_EQ(bridge.lines.size(), 1u);
            EXPECT_EQ(json::parse(bridge.lines[0]), json::parse(expected));
        }
        bridge.lines.clear();
    }

    // Framing: split chunks, CRLF, blank lines and a line too long to keep.
    bridge.dispatcher->receive("\n\n{\"op\":\"sc");
    bridge.dispatcher->receive("an\",\"id\":1}\r\n");
    bridge.dispatcher->receive(std::string(LineBuffer::kMaxLine + 10, ' ') + "{}\n");
    bridge.dispatcher->receive("{\"op\":\"scan\",\"id\":2}\n");
    ASSERT_EQ(bridge.lines.size(), 2u);
    EXPECT_EQ(json::parse(bridge.lines[0])["id"], 1);
    EXPECT_EQ(json::parse(bridge.lines[1])["id"], 2);
}

Household faultyHousehold() {
    auto parsed = Household::parse(R"({
        "tvs": [
            {"id": "sim:den", "name": "Den", "protocols": [], "faults": [
                {"op": "command", "error": "The Den TV is busy.", "times": 1}]},
            {"id": "sim:hall", "name": "Hall"}
        ],
        "faults": [
            {"op": "scan", "delay": 3},
            {"op": "apps", "noReply": true},
            {"op": "pairCancel", "garbage": "@@@"},
            {"op": "disconnect", "device": "sim:hall", "exit": 4}
        ]})");
    return std::get<Household>(std::move(parsed));
}

TEST(Dispatcher, FaultScriptsDelayRefuseSilenceGarbleAndExit) {
    BridgeHarness bridge(faultyHousehold());
    bridge.send(R"({"op":"scan","id":"s"})");
    bridge.loop.advance(2.9);
    EXPECT_TRUE(bridge.lines.empty()) << "scan is delayed by 3 s";
    bridge.loop.advance(0.1);
    EXPECT_EQ(bridge.takeReply("s")["devices"].size(), 2u);

    const json denCommand = {{"op", "command"}, {"action", "home"}, {"device", "sim:den"}};
    EXPECT_TRUE(
        succeeded(bridge.call({{"op", "command"}, {"action", "home"}, {"device", "sim:hall"}})));
    EXPECT_EQ(bridge.call(denCommand)["error"], "The Den TV is busy.");
    EXPECT_TRUE(succeeded(bridge.call(denCommand)));

    EXPECT_TRUE(bridge.call({{"op", "apps"}, {"device", "sim:den"}}).is_null());
    EXPECT_TRUE(bridge.lines.empty());

    bridge.call({{"op", "pairCancel"}});
    EXPECT_EQ(bridge.lines, std::vector<std::string>{"@@@"});
    bridge.lines.clear();

    EXPECT_TRUE(succeeded(bridge.call({{"op", "disconnect"}, {"device", "sim:den"}})));
    EXPECT_FALSE(bridge.exitStatus);
    bridge.call({{"op", "disconnect"}, {"device", "sim:hall"}});
    EXPECT_EQ(bridge.exitStatus, 4);
    bridge.call({{"op", "scan"}});
    EXPECT_TRUE(bridge.lines.empty()) << "nothing is served after the exit";
}

}  // namespace
}  // namespace orvel::test

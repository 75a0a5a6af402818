#include "bridge/appletv/AppleTVBackend.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../support/FakeAppleTV.hpp"
#include "../../support/LoopThread.hpp"
#include "../../support/ScratchDir.hpp"
#include "../BridgeLines.hpp"
#include "bridge/appletv/CompanionClientId.hpp"
#include "bridge/appletv/FixedAppleTVHosts.hpp"

namespace orvel::test {
namespace {

using Press = FakeAppleTV::Press;

std::string hostOf(const FakeAppleTV& tv) {
    return "127.0.0.1:" + std::to_string(tv.port());
}
std::string idOf(const FakeAppleTV& tv) {
    return "appletv:" + hostOf(tv);
}
std::string nameOf(const FakeAppleTV& tv) {
    return "The Apple TV at " + hostOf(tv);
}

class AppleTVBackendTest : public ::testing::Test, public BridgeLines {
protected:
    AppleTVBackendTest() {
        // this: pump is a member of this fixture; every line and record stops the loop.
        pump = [this](const std::function<bool()>& ready) {
            while (!ready() && runGuarded(loop, 10.0)) {
            }
        };
        tv.setOnRecord([this] { loop.quit(); });
        other.setOnRecord([this] { loop.quit(); });
        auto backend = std::make_unique<AppleTVBackend>(
            loop,
            std::make_unique<FixedAppleTVHosts>(
                loop, std::vector<std::string>{hostOf(tv), hostOf(other)}),
            stateFolder.path(),
            CompanionOptions{
                .connectTimeout = 2.0, .replyTimeout = 2.0, .openLimit = 1.5, .holdSeconds = 0.02});
        auto out = output();
        out.writeLine = [this, write = out.writeLine](std::string_view line) {
            write(line);
            loop.quit();
        };
        dispatcher = Dispatcher::create(loop, std::move(backend), {}, std::move(out));
    }
    ~AppleTVBackendTest() override { dispatcher.reset(); }

    // Pairs `with` and returns its credential text.
    std::string pair(FakeAppleTV& with, const std::string& pin) {
        const json begun =
            call({{"op", "pairBegin"}, {"device", idOf(with)}, {"protocol", "Companion"}});
        EXPECT_FALSE(begun.contains("error")) << begun;
        const json finished = call({{"op", "pairFinish"}, {"pin", pin}});
        return finished.value("credentials", finished.value("error", std::string("no reply")));
    }
    json connect(const FakeAppleTV& to, const std::string& credential) {
        return call({{"op", "connect"},
                     {"device", idOf(to)},
                     {"credentials", {{"Companion", credential}}}});
    }
    // Waits for events until one is `wanted` and returns the last such (null when none came).
    json awaitEvent(const std::function<bool(const json&)>& wanted) {
        json found;
        pump([&] {
            for (auto& event : takeEvents()) {
                if (wanted(event)) found = event;
            }
            return !found.is_null();
        });
        return found;
    }
    json poweredState(const std::string& device) {
        return awaitEvent([&](const json& event) {
            return event["event"] == "state" && event["device"] == device &&
                   event.contains("power");
        });
    }

    PollLoop loop;
    ScratchDir stateFolder;
    FakeAppleTV tv{loop};
    FakeAppleTV other{loop, {.pin = "5678", .tvId = "0C4F1E2A-77B3-4D0E-8A19-3B5E6F7A8B9C"}};
};

TEST_F(AppleTVBackendTest, ScanListsTheListedTVsAsCompanionDevices) {
    const json reply = call({{"op", "scan"}});
    EXPECT_EQ(reply["devices"],
              json::array(
                  {{{"id", idOf(tv)}, {"name", nameOf(tv)}, {"protocols", {"Companion"}}},
                   {{"id", idOf(other)}, {"name", nameOf(other)}, {"protocols", {"Companion"}}}}));
    EXPECT_FALSE(reply.contains("notice"));
}

TEST_F(AppleTVBackendTest, PairsConnectsAndPressesEveryKeyInOrder) {
    const std::string credential = pair(tv, "1234");
    ASSERT_TRUE(credential.starts_with("companion-v1:")) << credential;
    ASSERT_EQ(connect(tv, credential).size(), 1u);
    const json state = poweredState(idOf(tv));
    EXPECT_EQ(state["power"], "On");
    EXPECT_EQ(state["address"], "127.0.0.1");
    EXPECT_EQ(
        state["capabilities"],
        json::parse(R"(["up","down","left","right","select","back","menu","home","appSwitcher",
                 "controlCenter","playPause","volumeUp","volumeDown","wake","sleep","text",
                 "launchApp"])"));

    struct Row {
        const char* action;
        std::vector<Press> presses;
    };
    const std::vector<Row> rows{
        {"up", {{1, 1}, {1, 2}}},
        {"down", {{2, 1}, {2, 2}}},
        {"left", {{3, 1}, {3, 2}}},
        {"right", {{4, 1}, {4, 2}}},
        {"select", {{6, 1}, {6, 2}}},
        {"back", {{5, 1}, {5, 2}}},
        {"menu", {{5, 1}, {5, 2}}},
        {"home", {{7, 1}, {7, 2}}},
        {"appSwitcher", {{7, 1}, {7, 2}, {7, 1}, {7, 2}}},
        {"controlCenter", {{7, 1}, {7, 2}}},
        {"playPause", {{14, 1}, {14, 2}}},
        {"volumeUp", {{8, 1}, {8, 2}}},
        {"volumeDown", {{9, 1}, {9, 2}}},
        {"wake", {{13, 2}}},
        {"sleep", {{12, 2}}},
    };
    for (const auto& row : rows) {
        const std::size_t before = tv.presses().size();
        const json reply = call({{"op", "command"}, {"action", row.action}});
        EXPECT_EQ(reply.size(), 1u) << row.action << ": " << reply;
        const std::vector<Press> pressed(tv.presses().begin() + static_cast<long>(before),
                                         tv.presses().end());
        EXPECT_EQ(pressed, row.presses) << row.action;
    }
    EXPECT_EQ(call({{"op", "command"}, {"action", "mute"}})["error"],
              nameOf(tv) + " does not support the \"mute\" action.");
}

TEST_F(AppleTVBackendTest, PowerFollowsTheTVsEventsAndADroppedConnectionIsReported) {
    ASSERT_EQ(connect(tv, pair(tv, "1234")).size(), 1u);
    EXPECT_EQ(poweredState(idOf(tv))["power"], "On");
    tv.sendSystemStatus(1);
    EXPECT_EQ(poweredState(idOf(tv))["power"], "Off");

    tv.dropConnections();
    const json gone =
        awaitEvent([](const json& event) { return event["event"] == "disconnected"; });
    EXPECT_EQ(gone["device"], idOf(tv));
    EXPECT_EQ(gone["reason"], hostOf(tv) + " closed the connection.");
    EXPECT_EQ(call({{"op", "command"}, {"action", "up"}})["error"],
              "No TV is connected. Connect to a TV first.");
}

TEST_F(AppleTVBackendTest, PairingAndConnectingFailWithSentencesThatNameTheTV) {
    EXPECT_EQ(pair(tv, "9999"),
              "The code didn't match. Check the code on " + nameOf(tv) + " and try again.");
    EXPECT_EQ(call({{"op", "pairFinish"}, {"pin", "1234"}})["error"],
              "No pairing is in progress. Start pairing again.");
    ASSERT_FALSE(call({{"op", "pairBegin"}, {"device", idOf(tv)}, {"protocol", "Companion"}})
                     .contains("error"));
    EXPECT_EQ(call({{"op", "pairCancel"}}).size(), 1u);
    EXPECT_EQ(call({{"op", "pairFinish"}, {"pin", "1234"}})["error"],
              "No pairing is in progress. Start pairing again.");

    const std::string credential = pair(tv, "1234");
    EXPECT_EQ(connect(other, credential)["error"],
              "Another Apple TV answers where " + nameOf(other) +
                  " was. Forget it in Settings and pair it again.");
    EXPECT_EQ(
        connect(tv, "companion-v1:00")["error"],
        nameOf(tv) +
            " no longer accepts this computer's pairing. Forget it in Settings and pair it again.");
    EXPECT_EQ(
        call({{"op", "connect"}, {"device", idOf(tv)}, {"credentials", json::object()}})["error"],
        nameOf(tv) + " is not paired with this computer. Pair it in Settings first.");
    EXPECT_EQ(call({{"op", "connect"},
                    {"device", "appletv:127.0.0.1:1"},
                    {"credentials", {{"Companion", credential}}}})["error"],
              "The Apple TV \"appletv:127.0.0.1:1\" was not found on the network. Check that it "
              "is on and on this network.");
    EXPECT_EQ(connect(tv, credential).size(), 1u) << "the failures left nothing behind";
    ASSERT_EQ(call({{"op", "disconnect"}}).size(), 1u);
    tv.goSilent();
    EXPECT_EQ(connect(tv, credential)["error"],
              nameOf(tv) + " did not answer on the network. Check that it is on.");
}

TEST_F(AppleTVBackendTest, AWatchedTVReportsItsPowerAndAnyPairedTVTakesACommand) {
    const std::string credential = pair(other, "5678");
    const json watched = call(
        {{"op", "watch"}, {"device", idOf(other)}, {"credentials", {{"Companion", credential}}}});
    ASSERT_EQ(watched.size(), 1u) << watched;
    EXPECT_EQ(poweredState(idOf(other))["power"], "On");
    ASSERT_EQ(call({{"op", "disconnect"}, {"device", idOf(other)}}).size(), 1u);

    const json reply = call({{"op", "command"},
                             {"action", "home"},
                             {"device", idOf(other)},
                             {"credentials", {{"Companion", credential}}}});
    EXPECT_EQ(reply.size(), 1u) << reply;
    EXPECT_EQ(other.presses(), (std::vector<Press>{{7, 1}, {7, 2}}));
    EXPECT_TRUE(takeStates(idOf(other)).empty()) << "a TV used for one command is not followed";
}

TEST_F(AppleTVBackendTest, ListsAndOpensAppsAsTheTVGivesThem) {
    ASSERT_EQ(connect(tv, pair(tv, "1234")).size(), 1u);
    EXPECT_EQ(call({{"op", "apps"}})["apps"], json::parse(R"([
        {"id": "com.example.watch-now", "name": "Watch Now"},
        {"id": "tv.example.bear.Channel", "name": "Bear Channel"},
        {"id": "com.example.music", "name": "Music"}])"));
    const std::vector<std::pair<std::string, std::string>> launches = {
        {"tv.example.bear.Channel", ""},
        {"https://tv.example/show/42?t=1", ""},
        {"com.example.gone", nameOf(tv) + " could not open the app \"com.example.gone\"."},
    };
    for (const auto& [app, error] : launches) {
        const json reply = call({{"op", "command"}, {"action", "launchApp"}, {"app", app}});
        EXPECT_EQ(reply.value("error", std::string()), error) << app;
    }
    EXPECT_EQ(tv.launched(), (std::vector<std::string>{"tv.example.bear.Channel",
                                                       "https://tv.example/show/42?t=1"}));
    const OpackValue* link = tv.contents("_launchApp").at(1).find("_urlS");
    ASSERT_NE(link, nullptr) << "a link goes as one";
}

TEST_F(AppleTVBackendTest, TextReplacesTheFocusedFieldOrSaysToSelectOne) {
    ASSERT_EQ(connect(tv, pair(tv, "1234")).size(), 1u);
    EXPECT_EQ(call({{"op", "command"}, {"action", "text"}, {"text", "the bear"}})["error"],
              "Select a text field on " + nameOf(tv) + " first, then type again.");
    tv.setField("old words");
    for (const std::string text : {"caf\u00e9 \u5b57 \U0001F600 100%", "the bear", ""}) {
        const json reply = call({{"op", "command"}, {"action", "text"}, {"text", text}});
        EXPECT_EQ(reply.size(), 1u) << reply;
        pump([&] { return tv.field() == text; });
        EXPECT_EQ(tv.field(), text);
    }
}

TEST_F(AppleTVBackendTest, ATVLostMidCommandAnswersItWithWhyNotWithARefusal) {
    const std::string credential = pair(tv, "1234");
    tv.setField("old words");
    tv.setMediaFlags(0x0001);  // play goes to the TV whether or not the flags arrived first
    for (const json& command :
         {json{{"action", "text"}, {"text", "the bear"}},
          json{{"action", "launchApp"}, {"app", "com.example.music"}}, json{{"action", "play"}}}) {
        ASSERT_EQ(connect(tv, credential).size(), 1u);
        tv.goSilent();
        // this: the fixture outlives its loop's timers.
        const CancelHandle drop = loop.postAfter(0.2, [this] { tv.dropConnections(); });
        json request = command;
        request["op"] = "command";
        const json reply = call(request);
        EXPECT_TRUE(reply.value("error", std::string()).ends_with("closed the connection."))
            << command << ": " << reply;
        tv.setSilent(false);
    }
}

TEST_F(AppleTVBackendTest, MediaActionsFollowTheTVsFlagsWithTheirVolume) {
    ASSERT_EQ(connect(tv, pair(tv, "1234")).size(), 1u);
    // The next state whose media actions and volume are these.
    const auto awaitState = [&](const json& actions, const json& volume) {
        const auto wanted = [&](const json& event) {
            json listed = json::array();
            for (const auto& action : event.value("capabilities", json::array())) {
                for (const char* each : {"play", "pause", "next", "previous", "skipForward",
                                         "skipBackward", "setVolume"})
                    if (action == each) listed.push_back(action);
            }
            return event["event"] == "state" && listed == actions &&
                   event.value("volume", json()) == volume;
        };
        return !awaitEvent(wanted).is_null();
    };
    tv.setMediaFlags(0x0001 | 0x0002 | 0x0200 | 0x0400);
    ASSERT_TRUE(awaitState({"play", "pause", "skipForward", "skipBackward"}, nullptr));
    for (const char* action : {"play", "pause", "skipForward", "skipBackward"}) {
        EXPECT_EQ(call({{"op", "command"}, {"action", action}}).size(), 1u) << action;
    }
    EXPECT_EQ(call({{"op", "command"}, {"action", "setVolume"}, {"volume", 30}})["error"],
              nameOf(tv) + " does not support the \"setVolume\" action.");

    tv.setMediaFlags(0x0004 | 0x0008 | 0x0100);
    EXPECT_TRUE(awaitState({"next", "previous", "setVolume"}, 50));
    EXPECT_EQ(call({{"op", "command"}, {"action", "setVolume"}, {"volume", 30}}).size(), 1u);
    EXPECT_TRUE(awaitState({"next", "previous", "setVolume"}, 30));
    EXPECT_DOUBLE_EQ(tv.volume(), 0.3);
    tv.setMediaFlags(0x0001);
    EXPECT_TRUE(awaitState({"play"}, nullptr)) << "no volume without the flag";

    std::vector<std::int64_t> commands;
    for (const auto& content : tv.contents("_mcc")) {
        commands.push_back(*content.find("_mcc")->asInteger());
    }
    EXPECT_EQ(commands, (std::vector<std::int64_t>{1, 2, 7, 7, 5, 6}));
    EXPECT_EQ(tv.contents("_mcc")[3].find("_skpS")->asFloat(), -10.0);
}

TEST(CompanionClientId, IsKeptAcrossRunsAndAnUnusableOneIsReplaced) {
    ScratchDir folder;
    const std::string first = loadCompanionClientId(folder.path());
    EXPECT_EQ(first.size(), 12u);
    EXPECT_EQ(loadCompanionClientId(folder.path()), first);
    ScratchDir::write(folder / "companion-client-id", "cafe\n");
    const std::string replaced = loadCompanionClientId(folder.path());
    EXPECT_NE(replaced, "cafe");
    EXPECT_EQ(loadCompanionClientId(folder.path()), replaced);
    EXPECT_NE(loadCompanionClientId(std::nullopt), loadCompanionClientId(std::nullopt));
}

}  // namespace
}  // namespace orvel::test

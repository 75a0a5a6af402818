// AppStore's remote commands, volume channels and app lists on the virtual clock, against a
// scripted bridge that answers only when the test says so.

#include "session/AppStore.hpp"

#include <cmath>
#include <deque>
#include <limits>

#include <gtest/gtest.h>

#include "SessionHarness.hpp"
#include "session/DemoHousehold.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

json everyAction() {
    json list = json::array();
    for (auto action : kAllRemoteActions) list.push_back(rawValue(action));
    return list;
}

std::string repeated(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

// The Roku is selected and connected and can do everything; the living room has stored
// credentials, the kitchen has none.
class AppStoreCommandsTest : public ::testing::Test {
protected:
    AppStoreCommandsTest()
        : h(json{{"pairedDevices", savedList({kBedroom, kLiving, kKitchen})},
                 {"lastDevice", kBedroom.id}}) {
        h.credentials.save(kLiving.id, {{"AirPlay", "a"}, {"Companion", "c"}});
        h.make();
        store().start();
        connectBedroom();
    }
    AppStore& store() { return *h.store; }
    FakeBridge& bridge() { return *h.bridge; }

    void connectBedroom() {
        store().connect(kBedroom);
        h.loop.runUntilIdle();
        ASSERT_TRUE(bridge().reply("connect"));
        bridge().emit(stateOf(kBedroom.id, {{"volume", 10}}));
        h.loop.runUntilIdle();
        ASSERT_TRUE(store().can(RemoteAction::up));
    }
    static json stateOf(const std::string& id, json extra = json::object(),
                        json capabilities = everyAction()) {
        json event = {{"event", "state"}, {"device", id}, {"capabilities", capabilities}};
        event.update(extra);
        return event;
    }

    // Sends and records how the completion ended: -1 not yet, 0 false, 1 true.
    int& press(RemoteAction action, AppStore::CommandOptions options = {}) {
        outcomes.push_back(-1);
        const std::size_t index = outcomes.size() - 1;
        store().send(action, std::move(options),
                     [this, index](bool accepted) { outcomes[index] = accepted; });
        return outcomes[index];
    }
    // The "command" requests sent so far.
    std::vector<json> commands() {
        std::vector<json> sent;
        for (const auto& request : bridge().requests) {
            if (request.op == "command") sent.push_back(request.fields);
        }
        return sent;
    }
    // Commands only: watches of the other TVs wait for their answers too.
    std::size_t unanswered() {
        std::size_t n = 0;
        for (const auto& request : bridge().requests) {
            n += request.op == "command" && !request.answered;
        }
        return n;
    }
    // Answers commands one by one until none waits; returns their actions in order.
    std::vector<std::string> answerAll(std::size_t mostOnTheirWay = 1) {
        while (bridge().reply("command")) {
            EXPECT_LE(unanswered(), mostOnTheirWay);
            h.loop.runUntilIdle();
        }
        std::vector<std::string> actions;
        for (const auto& sent : commands()) actions.push_back(sent["action"]);
        return actions;
    }

    SessionHarness h;
    std::deque<int> outcomes;  // deque: references to earlier entries stay valid
};

TEST_F(AppStoreCommandsTest, AFifthPressWaitsForOneOfFourOutstandingReplies) {
    for (int i = 0; i < 4; ++i) press(RemoteAction::up);
    EXPECT_EQ(press(RemoteAction::down), 0);
    EXPECT_EQ(commands().size(), 4u);
    // The error line stays as it was; only a caller that asks learns why.
    EXPECT_EQ(store().lastCommandError(), AppStore::kCommandsBusy);
    EXPECT_EQ(h.state().error, "");
    EXPECT_EQ(commands()[0], json({{"action", "up"}}));

    bridge().reply("command", {{"error", "The TV is busy."}});
    EXPECT_EQ(outcomes[0], 0);
    EXPECT_EQ(h.state().error, "The TV is busy.");
    int& fifth = press(RemoteAction::down);
    EXPECT_EQ(commands().size(), 5u);
    bridge().reply("command");
    bridge().reply("command");
    bridge().reply("command");
    bridge().reply("command");
    EXPECT_EQ(outcomes[1], 1);
    EXPECT_EQ(fifth, 1);
}

TEST_F(AppStoreCommandsTest, TextIsLimitedByScalarValuesAndMustBeUtf8) {
    struct Row {
        const char* name;
        std::string text;
        bool sent;
        std::string error;
    };
    const std::string tooLong = AppStore::kTextTooLong;
    const std::string notUtf8 = AppStore::kTextNotUtf8;
    const std::vector<Row> table = {
        {"16384 two-byte scalars", repeated("\xC3\xA9", 16384), true, ""},
        {"16383 ascii and an emoji", repeated("a", 16383) + "\xF0\x9F\x98\x80", true, ""},
        {"16385 four-byte scalars", repeated("\xF0\x9F\x98\x80", 16385), false, tooLong},
        {"16385 ascii", repeated("a", 16385), false, tooLong},
        {"cut-off sequence", "caf\xC3", false, notUtf8},
        {"surrogate", "\xED\xA0\x80", false, notUtf8},
        {"overlong", "\xC0\xAF", false, notUtf8},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const auto before = commands().size();
        int& outcome = press(RemoteAction::text, {.text = row.text});
        EXPECT_EQ(commands().size(), before + row.sent);
        if (row.sent) {
            EXPECT_EQ(commands().back()["text"], row.text);
            bridge().reply("command");
        }
        EXPECT_EQ(outcome, row.sent ? 1 : 0);
        EXPECT_EQ(h.state().error, row.error);
    }
}

TEST_F(AppStoreCommandsTest, TextForAnotherTVHasNoLengthLimitButMustBeUtf8) {
    bridge().emit(stateOf(kKitchen.id));
    press(RemoteAction::text, {.to = kKitchen.id, .text = repeated("a", 16385)});
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0]["device"], kKitchen.id);

    EXPECT_EQ(press(RemoteAction::text, {.to = kKitchen.id, .text = "\xFF"}), 0);
    EXPECT_EQ(commands().size(), 1u);
    EXPECT_EQ(store().lastBackgroundError(), AppStore::kTextNotUtf8);
    EXPECT_EQ(h.state().error, "");
}

TEST_F(AppStoreCommandsTest, VolumeStepsGoOneAtATimeWithAtMostTwentyWaiting) {
    for (int calls : {10, 30}) {
        SCOPED_TRACE(calls);
        for (int i = 0; i < calls; ++i) store().adjustVolume(1);
        EXPECT_EQ(unanswered(), 1u);
        const auto actions = answerAll();
        EXPECT_EQ(actions.size(), static_cast<std::size_t>(std::min(calls, 21)));
        for (const auto& action : actions) EXPECT_EQ(action, "volumeUp");
        bridge().requests.clear();
    }
}

TEST_F(AppStoreCommandsTest, AStepTheOtherWayCancelsAWaitingOne) {
    store().adjustVolume(3);
    store().adjustVolume(-3);
    EXPECT_EQ(answerAll(), (std::vector<std::string>{"volumeUp", "volumeDown"}));
}

TEST_F(AppStoreCommandsTest, AFailedStepDropsTheStepsStillWaiting) {
    for (int i = 0; i < 5; ++i) store().adjustVolume(-1);
    bridge().reply("command", {{"error", "Volume is fixed."}});
    h.loop.runUntilIdle();
    EXPECT_EQ(commands().size(), 1u);
    EXPECT_EQ(h.state().error, "Volume is fixed.");
    store().adjustVolume(1);
    EXPECT_EQ(commands().size(), 2u) << "the channel is idle again";
}

TEST_F(AppStoreCommandsTest, AbsoluteVolumeSendsOnlyTheLatestOfABurst) {
    store().setVolume(30);
    store().setVolume(35);
    store().setVolume(40);
    EXPECT_EQ(h.state().volume, 40);
    bridge().emit(stateOf(kBedroom.id, {{"volume", 12}}));
    EXPECT_EQ(h.state().volume, 40) << "the slider does not jump back while sending";
    EXPECT_EQ(answerAll().size(), 2u);
    const auto sent = commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], json({{"action", "setVolume"}, {"volume", 30.0}}));
    EXPECT_EQ(sent[1]["volume"], 40.0);

    struct Row {
        double asked;
        std::optional<double> sent;
    };
    const Row table[] = {{150, 100},
                         {-5, 0},
                         {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
                         {std::numeric_limits<double>::infinity(), std::nullopt}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.asked);
        bridge().requests.clear();
        store().setVolume(row.asked);
        ASSERT_EQ(commands().size(), row.sent ? 1u : 0u);
        if (row.sent) {
            EXPECT_EQ(commands()[0]["volume"], *row.sent);
        }
        answerAll();
    }
}

TEST_F(AppStoreCommandsTest, KindsOfVolumeChangeCancelEachOthersWaitingRequests) {
    store().setVolume(20);
    store().setVolume(25);    // waits
    store().adjustVolume(2);  // drops 25; the relative channel starts on its own
    EXPECT_EQ(answerAll(2), (std::vector<std::string>{"setVolume", "volumeUp", "volumeUp"}));
    EXPECT_EQ(commands()[0]["volume"], 20.0);
}

TEST_F(AppStoreCommandsTest, PlayPauseShowsAtOnceAndAnErrorPutsItBack) {
    int stateChanges = 0;
    store().setOnStateChange([&] { ++stateChanges; });
    ASSERT_FALSE(h.state().playing);
    press(RemoteAction::playPause);
    EXPECT_TRUE(h.state().playing);
    EXPECT_EQ(stateChanges, 1);
    bridge().reply("command", {{"error", "Nothing to play."}});
    EXPECT_FALSE(h.state().playing);
    EXPECT_EQ(stateChanges, 2);

    press(RemoteAction::play);
    EXPECT_TRUE(h.state().playing);
    bridge().reply("command");
    EXPECT_TRUE(h.state().playing);
    EXPECT_EQ(stateChanges, 3) << "a success changes nothing more";
}

TEST_F(AppStoreCommandsTest, RepliesFromBeforeAReconnectChangeNothing) {
    int& up = press(RemoteAction::up);
    int& play = press(RemoteAction::playPause);
    store().adjustVolume(1);
    store().adjustVolume(1);
    press(RemoteAction::down);  // four in flight now
    EXPECT_EQ(press(RemoteAction::down), 0);

    connectBedroom();
    ASSERT_TRUE(h.state().error.empty());
    while (bridge().reply("command", {{"error", "Lost."}})) h.loop.runUntilIdle();
    EXPECT_EQ(up, 0);
    EXPECT_EQ(play, 0);
    EXPECT_EQ(h.state().error, "") << "stale errors stay off the error line";
    EXPECT_FALSE(h.state().playing) << "the fresh connection's state stands";
    EXPECT_EQ(commands().size(), 4u) << "the old volume burst is not resumed";

    for (int i = 0; i < 4; ++i) EXPECT_EQ(press(RemoteAction::up), -1) << "stale replies freed";
}

TEST_F(AppStoreCommandsTest, ACommandForAnotherTVCarriesItsStoredCredentials) {
    int& living = press(RemoteAction::select, {.to = kLiving.id, .text = "x", .app = "tv.app"});
    h.loop.runUntilIdle();
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0], json({{"action", "select"},
                                   {"device", kLiving.id},
                                   {"text", "x"},
                                   {"app", "tv.app"},
                                   {"credentials", {{"AirPlay", "a"}, {"Companion", "c"}}}}));
    bridge().reply("command", {{"error", "Living Room is asleep."}});
    EXPECT_EQ(living, 0);
    EXPECT_EQ(store().lastBackgroundError(), "Living Room is asleep.");
    EXPECT_EQ(h.state().error, "") << "the remote's error line is left alone";

    EXPECT_EQ(press(RemoteAction::select, {.to = kKitchen.id}), -1);
    h.loop.runUntilIdle();
    EXPECT_EQ(outcomes.back(), 0) << "no credentials for a TV that needs them";
    EXPECT_EQ(press(RemoteAction::select, {.to = "sim:unknown"}), 0);
    EXPECT_EQ(commands().size(), 1u);
}

TEST_F(AppStoreCommandsTest, AWatchedTVIsSentToDirectlyWhenItCanDoTheAction) {
    bridge().emit(stateOf(kKitchen.id, json::object(), json::array({"select"})));
    EXPECT_EQ(press(RemoteAction::up, {.to = kKitchen.id}), 0);
    int& accepted = press(RemoteAction::select, {.to = kKitchen.id});
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0], json({{"action", "select"}, {"device", kKitchen.id}}));
    bridge().reply("command");
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(store().lastBackgroundError(), "");

    press(RemoteAction::up, {.to = kBedroom.id, .volume = 5});
    EXPECT_EQ(commands().back(), json({{"action", "up"}, {"volume", 5}}))
        << "the selected TV's own identifier takes the selected path";
}

TEST_F(AppStoreCommandsTest, AppListsSkipIncompleteEntriesAndCarryOtherTVsCredentials) {
    std::optional<std::vector<NamedTV>> listed;
    std::string message = "unset";
    auto collect = [&](std::optional<std::vector<NamedTV>> apps, const std::string& error) {
        listed = std::move(apps);
        message = error;
    };
    store().apps(kBedroom, collect);
    h.loop.runUntilIdle();
    EXPECT_EQ(bridge().last().fields, json::object());
    bridge().reply("apps", {{"apps", json::parse(R"([{"id":"b","name":"B"},{"id":"x"},
                                                     {"id":"a","name":"A"},{"name":"N"},7])")}});
    ASSERT_TRUE(listed);
    EXPECT_EQ(*listed, (std::vector<NamedTV>{{"b", "B"}, {"a", "A"}}));
    EXPECT_EQ(message, "");

    store().apps(kLiving, collect);
    h.loop.runUntilIdle();
    EXPECT_EQ(bridge().last().fields["credentials"], json({{"AirPlay", "a"}, {"Companion", "c"}}));
    bridge().reply("apps", {{"error", "Living Room is off."}});
    EXPECT_FALSE(listed);
    EXPECT_EQ(message, "Living Room is off.");

    store().apps(kKitchen, collect);
    h.loop.runUntilIdle();
    EXPECT_EQ(bridge().last().fields, json({{"device", kKitchen.id}})) << "asked without";
}

TEST(AppStoreDemoCommands, EffectsAreShownWithoutABridge) {
    SessionHarness h;
    auto& store = h.make(/*demo=*/true);
    auto send = [&](RemoteAction action, AppStore::CommandOptions options = {}) {
        bool result = false;
        store.send(action, std::move(options), [&](bool accepted) { result = accepted; });
        return result;
    };
    const bool wasPlaying = h.state().playing;
    EXPECT_TRUE(send(RemoteAction::playPause));
    EXPECT_EQ(h.state().playing, !wasPlaying);
    EXPECT_EQ(h.state().statuses.at(h.state().selectedID).playing, !wasPlaying);
    EXPECT_TRUE(send(RemoteAction::sleep));
    EXPECT_EQ(h.state().power, "Off");

    for (double expected : {0.0, 40.0, 0.0}) {
        send(RemoteAction::mute);
        EXPECT_EQ(h.state().volume, expected);
    }
    send(RemoteAction::setVolume);
    EXPECT_EQ(h.state().volume, std::nullopt);
    store.adjustVolume(1);
    EXPECT_EQ(h.state().volume, 42);
    store.setVolume(70);
    EXPECT_EQ(h.state().volume, 70);

    EXPECT_FALSE(send(RemoteAction::up, {.to = DemoHousehold::kBedroomID}));
    std::string message;
    store.apps(h.state().savedDevices.front(),
               [&](auto, const std::string& error) { message = error; });
    EXPECT_EQ(message, AppStore::kHelperNotRunning);
}

}  // namespace
}  // namespace orvel::test

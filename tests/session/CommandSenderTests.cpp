// Remote commands, volume channels and app lists on the virtual clock, against a
// scripted bridge that answers only when the test says so.

#include "session/AppStore.hpp"

#include <deque>
#include <limits>

#include <gtest/gtest.h>

#include "SessionHarness.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;
using Actions = std::vector<std::string>;

json everyAction() {
    json list = json::array();
    for (auto action : kAllRemoteActions) list.push_back(rawValue(action));
    return list;
}

std::string repeated(const std::string& piece, std::size_t times) {
    std::string text;
    while (times-- > 0) text += piece;
    return text;
}

json stateOf(const std::string& id, json extra = json::object(),
             json capabilities = everyAction()) {
    extra.update({{"event", "state"}, {"device", id}, {"capabilities", capabilities}});
    return extra;
}

// The Roku is selected and connected and can do everything; the living room has stored
// credentials, the kitchen has none.
class CommandSenderTest : public ::testing::Test {
protected:
    CommandSenderTest()
        : h(json{{"pairedDevices", savedList({kBedroom, kLiving, kKitchen})},
                 {"lastDevice", kBedroom.id}}),
          store(h.make()),
          bridge(*h.bridge) {
        h.credentials.save(kLiving.id, kLivingCredentials);
        store.start();
        connectBedroom();
    }

    void connectBedroom() {
        h.connect(kBedroom);
        bridge.emit(stateOf(kBedroom.id, {{"volume", 10}}));
        h.idle();
        ASSERT_TRUE(store.can(RemoteAction::up));
    }
    // Sends and records how the completion ended: -1 not yet, 0 false, 1 true.
    int& press(RemoteAction action, AppStore::CommandOptions options = {}) {
        int& outcome = outcomes.emplace_back(-1);
        store.send(action, std::move(options), [&outcome](bool accepted) { outcome = accepted; });
        return outcome;
    }
    std::vector<json> commands() const { return bridge.sent("command"); }
    // Answers commands one by one until none waits; returns the actions of all sent so far.
    Actions answerAll(std::size_t mostOnTheirWay = 1) {
        while (bridge.reply("command")) {
            EXPECT_LE(bridge.unanswered("command"), mostOnTheirWay);
            h.idle();
        }
        Actions actions;
        for (const auto& sent : commands()) actions.push_back(sent["action"]);
        return actions;
    }

    SessionHarness h;
    AppStore& store;
    FakeBridge& bridge;
    std::deque<int> outcomes;  // deque: references to earlier entries stay valid
};

TEST_F(CommandSenderTest, AFifthPressWaitsForOneOfFourOutstandingReplies) {
    for (int i = 0; i < 4; ++i) press(RemoteAction::up);
    EXPECT_EQ(press(RemoteAction::down), 0);
    EXPECT_EQ(commands().size(), 4u);
    // The error line stays as it was; only a caller that asks learns why.
    EXPECT_EQ(store.lastCommandError(), AppStore::kCommandsBusy);
    EXPECT_EQ(h.state().error, "");
    EXPECT_EQ(commands()[0], json({{"action", "up"}}));

    bridge.reply("command", {{"error", "The TV is busy."}});
    EXPECT_EQ(outcomes[0], 0);
    EXPECT_EQ(h.state().error, "The TV is busy.");
    int& fifth = press(RemoteAction::down);
    EXPECT_EQ(commands().size(), 5u);
    for (int i = 0; i < 4; ++i) bridge.reply("command");
    EXPECT_EQ(outcomes[1], 1);
    EXPECT_EQ(fifth, 1);
}

TEST_F(CommandSenderTest, TextIsLimitedByScalarValuesAndMustBeUtf8) {
    // Another TV's text has no length limit, but must be UTF-8 too.
    bridge.emit(stateOf(kKitchen.id));
    press(RemoteAction::text, {.to = kKitchen.id, .text = repeated("a", 16385)});
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0]["device"], kKitchen.id);
    EXPECT_EQ(press(RemoteAction::text, {.to = kKitchen.id, .text = "\xFF"}), 0);
    EXPECT_EQ(commands().size(), 1u);
    EXPECT_EQ(store.lastBackgroundError(), AppStore::kTextNotUtf8);
    EXPECT_EQ(h.state().error, "");
    bridge.reply("command");

    const std::string tooLong = AppStore::kTextTooLong;
    const std::string notUtf8 = AppStore::kTextNotUtf8;
    const struct {
        const char* name;
        std::string text;
        std::string error;  // empty: sent
    } table[] = {
        {"16384 two-byte scalars", repeated("\xC3\xA9", 16384), ""},
        {"16383 ascii and an emoji", repeated("a", 16383) + "\xF0\x9F\x98\x80", ""},
        {"16385 four-byte scalars", repeated("\xF0\x9F\x98\x80", 16385), tooLong},
        {"16385 ascii", repeated("a", 16385), tooLong},
        {"cut-off sequence", "caf\xC3", notUtf8},
        {"overlong", "\xC0\xAF", notUtf8},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const bool sent = row.error.empty();
        const auto before = commands().size();
        int& outcome = press(RemoteAction::text, {.text = row.text});
        EXPECT_EQ(commands().size(), before + sent);
        if (sent) {
            EXPECT_EQ(commands().back()["text"], row.text);
            bridge.reply("command");
        }
        EXPECT_EQ(outcome, sent ? 1 : 0);
        EXPECT_EQ(h.state().error, row.error);
    }
}

// What waits and what is dropped is VolumeQueue's; here, that its steps go out as commands
// one at a time and a refusal reaches the error line and frees the channel.
TEST_F(CommandSenderTest, VolumeStepsGoOutOneAtATimeAndARefusalFreesTheChannel) {
    for (int i = 0; i < 30; ++i) store.adjustVolume(1);
    EXPECT_EQ(bridge.unanswered("command"), 1u);
    EXPECT_EQ(answerAll(), Actions(21, "volumeUp"));

    bridge.requests.clear();
    for (int i = 0; i < 5; ++i) store.adjustVolume(-1);
    bridge.reply("command", {{"error", "Volume is fixed."}});
    h.idle();
    EXPECT_EQ(commands().size(), 1u);
    EXPECT_EQ(h.state().error, "Volume is fixed.");
    store.adjustVolume(1);
    EXPECT_EQ(commands().size(), 2u) << "the channel is idle again";
}

TEST_F(CommandSenderTest, AbsoluteVolumeSendsOnlyTheLatestOfABurst) {
    store.setVolume(30);
    store.setVolume(35);
    store.setVolume(40);
    EXPECT_EQ(h.state().volume, 40);
    bridge.emit(stateOf(kBedroom.id, {{"volume", 12}}));
    EXPECT_EQ(h.state().volume, 40) << "the slider does not jump back while sending";
    EXPECT_EQ(answerAll().size(), 2u);
    EXPECT_EQ(commands(), (std::vector<json>{{{"action", "setVolume"}, {"volume", 30.0}},
                                             {{"action", "setVolume"}, {"volume", 40.0}}}));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, std::optional<double>> table[] = {
        {150, 100}, {-5, 0}, {nan, std::nullopt}, {inf, std::nullopt}};
    for (const auto& [asked, sent] : table) {
        SCOPED_TRACE(asked);
        bridge.requests.clear();
        store.setVolume(asked);
        ASSERT_EQ(commands().size(), sent ? 1u : 0u);
        if (sent) {
            EXPECT_EQ(commands()[0]["volume"], *sent);
        }
        answerAll();
    }
}

TEST_F(CommandSenderTest, PlayPauseShowsAtOnceAndAnErrorPutsItBack) {
    int stateChanges = 0;
    store.setOnStateChange([&] { ++stateChanges; });
    ASSERT_FALSE(h.state().playing);
    press(RemoteAction::playPause);
    EXPECT_TRUE(h.state().playing);
    EXPECT_EQ(stateChanges, 1);
    bridge.reply("command", {{"error", "Nothing to play."}});
    EXPECT_FALSE(h.state().playing);
    EXPECT_EQ(stateChanges, 2);

    press(RemoteAction::play);
    EXPECT_TRUE(h.state().playing);
    bridge.reply("command");
    EXPECT_TRUE(h.state().playing);
    EXPECT_EQ(stateChanges, 3) << "a success changes nothing more";
}

TEST_F(CommandSenderTest, RepliesFromBeforeAReconnectChangeNothing) {
    int& up = press(RemoteAction::up);
    int& play = press(RemoteAction::playPause);
    store.adjustVolume(1);
    store.adjustVolume(1);
    press(RemoteAction::down);  // four in flight now
    EXPECT_EQ(press(RemoteAction::down), 0);

    connectBedroom();
    ASSERT_TRUE(h.state().error.empty());
    while (bridge.reply("command", {{"error", "Lost."}})) h.idle();
    EXPECT_EQ(up, 0);
    EXPECT_EQ(play, 0);
    EXPECT_EQ(h.state().error, "") << "stale errors stay off the error line";
    EXPECT_FALSE(h.state().playing) << "the fresh connection's state stands";
    EXPECT_EQ(commands().size(), 4u) << "the old volume burst is not resumed";

    for (int i = 0; i < 4; ++i) EXPECT_EQ(press(RemoteAction::up), -1) << "stale replies freed";
}

TEST_F(CommandSenderTest, ACommandForAnotherTVCarriesItsStoredCredentials) {
    int& living = press(RemoteAction::select, {.to = kLiving.id, .text = "x", .app = "tv.app"});
    h.idle();
    EXPECT_EQ(commands(), (std::vector<json>{{{"action", "select"},
                                              {"device", kLiving.id},
                                              {"text", "x"},
                                              {"app", "tv.app"},
                                              {"credentials", kLivingCredentials}}}));
    bridge.reply("command", {{"error", "Living Room is asleep."}});
    EXPECT_EQ(living, 0);
    EXPECT_EQ(store.lastBackgroundError(), "Living Room is asleep.");
    EXPECT_EQ(h.state().error, "") << "the remote's error line is left alone";

    EXPECT_EQ(press(RemoteAction::select, {.to = kKitchen.id}), -1);
    h.idle();
    EXPECT_EQ(outcomes.back(), 0) << "no credentials for a TV that needs them";
    EXPECT_EQ(press(RemoteAction::select, {.to = "sim:unknown"}), 0);
    EXPECT_EQ(commands().size(), 1u);
}

TEST_F(CommandSenderTest, AWatchedTVIsSentToDirectlyWhenItCanDoTheAction) {
    bridge.emit(stateOf(kKitchen.id, json::object(), json::array({"select"})));
    EXPECT_EQ(press(RemoteAction::up, {.to = kKitchen.id}), 0);
    int& accepted = press(RemoteAction::select, {.to = kKitchen.id});
    EXPECT_EQ(commands(), (std::vector<json>{{{"action", "select"}, {"device", kKitchen.id}}}));
    bridge.reply("command");
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(store.lastBackgroundError(), "");

    press(RemoteAction::up, {.to = kBedroom.id, .volume = 5});
    EXPECT_EQ(commands().back(), json({{"action", "up"}, {"volume", 5}}))
        << "the selected TV's own identifier takes the selected path";
}

TEST_F(CommandSenderTest, AppListsSkipIncompleteEntriesAndCarryOtherTVsCredentials) {
    std::optional<std::vector<NamedEntry>> listed;
    std::string message = "unset";
    auto collect = [&](std::optional<std::vector<NamedEntry>> apps, const std::string& error) {
        listed = std::move(apps);
        message = error;
    };
    store.apps(kBedroom, collect);
    h.idle();
    EXPECT_EQ(bridge.last().fields, json::object());
    bridge.reply("apps", {{"apps", json::parse(R"([{"id":"b","name":"B"},{"id":"x"},
                                                   {"id":"a","name":"A"},{"name":"N"},7])")}});
    EXPECT_EQ(listed, (std::vector<NamedEntry>{{"b", "B"}, {"a", "A"}}));
    EXPECT_EQ(message, "");

    store.apps(kLiving, collect);
    h.idle();
    EXPECT_EQ(bridge.last().fields["credentials"], json(kLivingCredentials));
    bridge.reply("apps", {{"error", "Living Room is off."}});
    EXPECT_FALSE(listed);
    EXPECT_EQ(message, "Living Room is off.");

    store.apps(kKitchen, collect);
    h.idle();
    EXPECT_EQ(bridge.last().fields, json({{"device", kKitchen.id}})) << "asked without";
}

}  // namespace
}  // namespace orvel::test

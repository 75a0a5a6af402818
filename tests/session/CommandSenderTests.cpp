#include "session/AppStore.hpp"

#include <climits>
#include <deque>
#include <sstream>

#include <gtest/gtest.h>

#include "SessionHarness.hpp"

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
    while (times-- > 0) text += piece;
    return text;
}

json stateOf(const std::string& id, json extra = json::object(),
             json capabilities = everyAction()) {
    extra.update({{"event", "state"}, {"device", id}, {"capabilities", capabilities}});
    return extra;
}

// The Roku is connected and can do everything; only the living room has credentials.
struct CommandSenderTest : SessionTest {
    CommandSenderTest()
        : SessionTest({{"pairedDevices", savedList({kBedroom, kLiving, kKitchen})},
                       {"lastDevice", kBedroom.id}}) {
        h.credentials.save(kLiving.id, kLivingCredentials);
        store.start();
        connectBedroom();
    }

    void connectBedroom() {
        h.connect(kBedroom);
        bridge.emit(stateOf(kBedroom.id, {{"volume", 10}}));
        h.idle();
    }
    // Sends and records how the completion ended: -1 not yet, 0 false, 1 true.
    int& press(RemoteAction action, AppStore::CommandOptions options = {}) {
        int& outcome = outcomes.emplace_back(-1);
        store.send(action, std::move(options), [&outcome](bool accepted) { outcome = accepted; });
        return outcome;
    }
    std::vector<json> commands() const { return bridge.sent("command"); }
    // Accepts commands one by one until none waits, checking one of each kind is on its way.
    void answerAll(bool checked = true) {
        while (bridge.reply("command")) {
            EXPECT_LE(checked ? bridge.unanswered("command") : 0u, 1u);
            h.idle();
        }
    }

    std::string runVolume(const std::string& script);

    std::deque<int> outcomes;  // deque: references to earlier entries stay valid
};

TEST_F(CommandSenderTest, AFifthPressWaitsForOneOfFourOutstandingReplies) {
    for (int i = 0; i < 4; ++i) press(RemoteAction::up);
    EXPECT_EQ(press(RemoteAction::down), 0);
    EXPECT_EQ(commands().size(), 4u);
    EXPECT_EQ(store.lastCommandError(), AppStore::kCommandsBusy);
    EXPECT_EQ(h.state().error, "");

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
    bridge.emit(stateOf(kKitchen.id));
    const std::string tooLong = AppStore::kTextTooLong;
    const std::string notUtf8 = AppStore::kTextNotUtf8;
    const struct {
        std::string text, to;
        std::string error;  // empty: sent
    } table[] = {
        {repeated("\xC3\xA9", 16384), "", ""},  // scalars count, not bytes
        {std::string(16385, 'a'), "", tooLong},
        {"caf\xC3", "", notUtf8},
        {std::string(16385, 'a'), kKitchen.id, ""},  // another TV's text has no limit
        {"\xFF", kKitchen.id, notUtf8},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.text.substr(0, 8) + row.to);
        const bool sent = row.error.empty();
        const auto before = commands().size();
        AppStore::CommandOptions options{.text = row.text};
        if (!row.to.empty()) options.to = row.to;
        int& outcome = press(RemoteAction::text, std::move(options));
        EXPECT_EQ(commands().size(), before + sent);
        if (sent) bridge.reply("command");
        EXPECT_EQ(outcome, sent ? 1 : 0);
        EXPECT_EQ(row.to.empty() ? h.state().error : store.lastBackgroundError(), row.error);
    }
}

// `script` is words: "s3" adds three steps ("smax", "smin" the extremes), "l30" asks for
// level 30, "y" and "n" accept or refuse the oldest command on its way, "all" accepts until
// none waits, "clear" reconnects, and a suffix "*5" repeats a word. Returns what went out:
// "+", "-" or a level.
std::string CommandSenderTest::runVolume(const std::string& script) {
    const auto first = bridge.requests.size();
    std::istringstream words(script);
    for (std::string word; words >> word;) {
        int repeat = 1;
        if (auto x = word.find('*'); x != std::string::npos) {
            repeat = std::stoi(word.substr(x + 1));
            word.resize(x);
        }
        const std::string rest = word.substr(1);
        for (int i = 0; i < repeat; ++i) {
            if (word == "all") {
                answerAll();
            } else if (word == "clear") {
                connectBedroom();
            } else if (word == "y" || word == "n") {
                bridge.reply("command", word == "y" ? json::object() : json{{"error", "No."}});
            } else if (word[0] == 's') {
                store.adjustVolume(rest == "max"   ? INT_MAX
                                   : rest == "min" ? INT_MIN
                                                   : std::stoi(rest));
            } else {
                store.setVolume(std::stod(rest));
            }
        }
    }
    std::string sent;
    for (const auto& fields : bridge.sent("command", first)) {
        const auto& action = fields["action"];
        sent += action == "volumeUp"     ? "+"
                : action == "volumeDown" ? "-"
                                         : std::to_string(fields["volume"].get<int>());
    }
    return sent;
}

TEST_F(CommandSenderTest, VolumeGoesOutOneOfEachKindAtATimeAndDropsWhatIsCancelled) {
    const std::string twentyOneUp(21, '+');
    const struct {
        const char* script;
        std::string sent;
        std::string error{};
    } table[] = {
        {"s1*10 all", std::string(10, '+')},
        {"s1*30 all", twentyOneUp},  // at most twenty wait behind the one on its way
        {"smax smax all", twentyOneUp},
        {"s-5 smin all", std::string(21, '-')},
        {"s3 s-3 all", "+-"},         // a step the other way cancels a waiting one
        {"s-5 n s1", "-+", "No."},    // a refusal drops the steps still waiting
        {"l30 l35 l40 all", "3040"},  // only the latest level of a burst
        {"l30 l35 n l50", "3050", "No."},
        {"l20 l25 s2 all", "20++"},  // steps drop a waiting level, go beside the one on its way
        {"s5 l50 all", "+50"},       // a level drops the waiting steps
        {"s3 l10 clear s-1 l9", "+10-9"},
        {"l150 l-5 all lnan linf all", "1000"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.script);
        EXPECT_EQ(runVolume(row.script), row.sent);
        EXPECT_EQ(h.state().error, row.error);
        answerAll(false);
        connectBedroom();
    }
    store.setVolume(40);
    bridge.emit(stateOf(kBedroom.id, {{"volume", 12}}));
    EXPECT_EQ(h.state().volume, 40) << "the slider does not jump back while sending";
}

TEST_F(CommandSenderTest, PlayPauseShowsAtOnceAndAnErrorPutsItBack) {
    int stateChanges = 0;
    store.setOnStateChange([&] { ++stateChanges; });
    const struct {
        RemoteAction action;
        json reply;
        bool playing;
    } table[] = {{RemoteAction::playPause, {{"error", "Nothing to play."}}, false},
                 {RemoteAction::play, json::object(), true}};
    for (const auto& row : table) {
        press(row.action);
        EXPECT_TRUE(h.state().playing);
        bridge.reply("command", row.reply);
        EXPECT_EQ(h.state().playing, row.playing);
    }
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
    EXPECT_EQ(h.state().error, "");

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

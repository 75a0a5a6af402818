// ControlHandler and ControlWatches against an AppStore on the simulated household, on the
// virtual clock.

#include "control/ControlHandler.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <map>
#include <memory>
#include <thread>
#include <utility>

#include "../session/SessionHarness.hpp"
#include "../support/ControlClient.hpp"
#include "bridge/protocol/Dispatcher.hpp"
#include "bridge/sim/Household.hpp"
#include "bridge/sim/SimBackend.hpp"
#include "control/ControlWatches.hpp"
#include "core/ControlVerb.hpp"

namespace orvel::control_handler_test {
namespace {

using nlohmann::json;
using test::kBedroom;
using test::kKitchen;
using test::kLiving;

// The household's own Dispatcher as an in-process bridge transport. Lines reach the session on
// the loop, as the reader thread hands them over. It has no time-outs and never ends by itself:
// the household answers every request. It keeps the fields of every "command" it is given.
class SimBridge final : public test::TransportFake {
public:
    SimBridge(ManualLoop& loop, Household household)
        : loop_(loop), household_(std::move(household)) {}
    ~SimBridge() override { stop(); }

    std::optional<std::string> start() override {
        if (dispatcher_) return std::nullopt;
        // Lines posted by a run that has ended are dropped.
        run_ = std::make_shared<int>(0);
        Dispatcher::Output output;
        output.writeLine = [this, run = std::weak_ptr<int>(run_)](std::string_view line) {
            loop_.post([this, run, line = std::string(line)] {
                if (!run.expired()) route(line);
            });
        };
        dispatcher_ = Dispatcher::create(loop_, std::make_unique<SimBackend>(loop_, household_.tvs),
                                         household_.faults, std::move(output));
        dispatcher_->start();
        return std::nullopt;
    }
    void stop() override {
        if (!dispatcher_) return;
        run_.reset();
        dispatcher_.reset();
        for (auto& [id, completion] : std::exchange(pending_, {}))
            if (completion) completion({{"error", test::kBridgeStopped}});
    }
    void request(const std::string& op, const json& fields, double,
                 Completion completion) override {
        if (op == "command") commands.push_back(fields);
        if (!dispatcher_) {
            if (completion) completion({{"error", test::kBridgeNotRunning}});
            return;
        }
        json line = fields.is_object() ? fields : json::object();
        line["id"] = "r" + std::to_string(++counter_);
        line["op"] = op;
        pending_[line["id"]] = std::move(completion);
        dispatcher_->receive(line.dump() + "\n");
    }

    std::vector<json> commands;

private:
    void route(const std::string& text) {
        auto object = json::parse(text, nullptr, false);
        if (!object.is_object()) return;
        auto id = object.find("id");
        if (id == object.end() || !id->is_string()) return emit(object);
        auto pending = pending_.extract(id->get<std::string>());
        if (!pending.empty() && pending.mapped()) pending.mapped()(object);
    }

    ManualLoop& loop_;
    Household household_;
    std::shared_ptr<Dispatcher> dispatcher_;
    std::map<std::string, Completion> pending_;
    int counter_ = 0;
    std::shared_ptr<int> run_;
};

const TVDevice kDen{"roku:sim-den", "Kitchen Den", {}};
const std::string kPaired = "Paired: Living Room, Kitchen, Bedroom TV, Kitchen Den.";

json refusal(const std::string& message) {
    return {{"ok", false}, {"error", message}};
}
const json kDone = {{"ok", true}};
// The living room (with credentials), the kitchen (without), the bedroom, used last, and a
// den the household does not have.
const json kStored = {{"pairedDevices", test::savedList({kLiving, kKitchen, kBedroom, kDen})},
                      {"lastDevice", kBedroom.id}};

class RecordingStream final : public ControlWatches::Stream {
public:
    void send(const json& line) override {
        if (!closed) lines.push_back(line);
    }
    void closeAfterSending() override { closed = true; }
    bool isClosed() const override { return closed; }
    std::vector<json> lines;
    bool closed = false;
};

class ControlHandlerTest : public ::testing::Test {
protected:
    void make(const json& stored = kStored, const Household& household = Household::builtIn()) {
        h = std::make_unique<test::SessionHarness>(stored);
        CredentialSet paired;  // what pairing with the living room gave
        for (const auto& protocol : kLiving.protocols)
            paired[protocol] = SimBackend::credentialFor(household.tvs.front(), protocol);
        h->credentials.save(kLiving.id, paired);
        auto sim = std::make_unique<SimBridge>(h->loop, household);
        bridge = sim.get();
        h->makeWith(std::move(sim));
        h->store->start();
        h->loop.runUntilIdle();
        // The fixture outlives the handler it owns.
        handler = ControlHandler::create(h->loop, h->store, [this] { ++opened; });
        watches = ControlWatches::create(h->loop, h->store);
    }

    // The one reply to `request`, once the session has done what it asked.
    json ask(const json& request) {
        auto replies = std::make_shared<std::vector<json>>();
        handler->handleControl(request,
                               [replies](json reply) { replies->push_back(std::move(reply)); });
        h->loop.runUntilIdle();
        EXPECT_EQ(replies->size(), 1u) << request.dump();
        return replies->empty() ? json() : replies->front();
    }
    json press(std::string_view action, const json& more = json::object()) {
        json request = {{"command", "press"}, {"action", std::string(action)}};
        request.update(more);
        return ask(request);
    }
    // A watch on a stream that keeps its lines.
    std::shared_ptr<RecordingStream> watch(const json& request) {
        auto stream = std::make_shared<RecordingStream>();
        watches->start(request, stream);
        h->loop.runUntilIdle();
        return stream;
    }
    void send(RemoteAction action, CommandOptions options = {}) {
        h->store->send(action, std::move(options));
        h->loop.advance(1);
    }

    std::unique_ptr<test::SessionHarness> h;
    SimBridge* bridge = nullptr;
    std::shared_ptr<ControlHandler> handler;
    std::shared_ptr<ControlWatches> watches;
    int opened = 0;
};

TEST_F(ControlHandlerTest, RequestsThatFailBeforeAnythingIsSent) {
    make();
    ASSERT_TRUE(h->state().connected);
    const std::pair<json, std::string> table[] = {
        {{{"command", "status"}, {"tv", "zzz"}}, "No paired TV is called \"zzz\". " + kPaired},
        {json::object(), "Unknown command."},
        {{{"command", "press"}, {"action", "menu"}}, "Unknown command."},
        {{{"command", "press"}, {"action", "setVolume"}}, "Unknown command."},
        {{{"command", "press"}}, "Unknown command."},
        {{{"command", "type"}}, "Nothing to type."},
        {{{"command", "type"}, {"text", ""}}, "Nothing to type."},
        {{{"command", "power"}, {"tv", "kitchen"}},
         "Orvel can't tell whether Kitchen is on. Use orvel wake or orvel sleep."},
        {{{"command", "launch"}, {"app", "zzz"}},
         "Bedroom TV has no app called \"zzz\". Run orvel apps to see them."},
        {{{"command", "apps"}, {"tv", "Kitchen Den"}},
         "The TV \"roku:sim-den\" was not found on the network."},
    };
    for (const auto& [request, message] : table)
        EXPECT_EQ(ask(request), refusal(message)) << request.dump();
    h->store->disconnect();
    EXPECT_EQ(press("up"), refusal("Bedroom TV isn't connected right now."));
    EXPECT_TRUE(bridge->commands.empty());
}

TEST_F(ControlHandlerTest, StatusTVsAppsAndOpenNeedNoCommand) {
    make();
    EXPECT_EQ(ask({{"command", "status"}})["tv"]["name"], "Bedroom TV");
    EXPECT_EQ(ask({{"command", "nowplaying"}, {"tv", "liv"}})["tv"]["name"], "Living Room");
    EXPECT_EQ(ask({{"command", "tvs"}})["tvs"][3]["name"], "Kitchen Den");
    EXPECT_EQ(ask({{"command", "open"}}), kDone);
    EXPECT_EQ(opened, 1);
    const auto apps = ask({{"command", "apps"}});
    ASSERT_EQ(apps["apps"].size(), 4u);
    EXPECT_EQ(apps["apps"][0], json({{"id", "netflix"}, {"name", "Netflix"}}));
    EXPECT_TRUE(bridge->commands.empty());

    make(json::object());
    EXPECT_EQ(ask({{"command", "tvs"}}), json({{"ok", true}, {"tvs", json::array()}}));
    EXPECT_EQ(ask({{"command", "open"}}), kDone);
    EXPECT_EQ(ask({{"command", "reboot"}}),
              refusal("No TVs paired. Pair one in Orvel Remote's Settings."));
    handler = ControlHandler::create(h->loop, h->store, nullptr);
    EXPECT_EQ(ask({{"command", "open"}}), refusal(ControlHandler::kNoRemote)) << "headless";
}

TEST_F(ControlHandlerTest, EveryVerbGoesToTheSelectedTVOrToTheNamedOne) {
    make();
    // Unwatched, so a command for the living room goes with its stored credentials.
    h->store->setFollowPlaying(false);
    h->loop.runUntilIdle();
    for (const auto& [word, action] : ControlVerb::kActions) {
        SCOPED_TRACE(std::string(word));
        const bool can = h->store->can(action);
        const auto before = bridge->commands.size();
        const auto reply = press(rawValue(action));
        if (can) {
            ASSERT_EQ(bridge->commands.size(), before + 1);
            EXPECT_EQ(bridge->commands.back(), json({{"action", rawValue(action)}}));
        } else {
            EXPECT_EQ(bridge->commands.size(), before);
            EXPECT_EQ(reply,
                      refusal(!h->state().notice.empty()
                                  ? h->state().notice
                                  : "Bedroom TV can't " + std::string(ControlVerb::name(action)) +
                                        " right now."));
        }
        press(rawValue(action), {{"tv", "Living Room"}});
        ASSERT_EQ(bridge->commands.size(), before + can + 1) << "no checks for another TV";
        EXPECT_EQ(bridge->commands.back()["device"], kLiving.id);
    }
    press("wake", {{"tv", "liv"}});
    EXPECT_EQ(press("up", {{"tv", "liv"}}), kDone);
}

TEST_F(ControlHandlerTest, TypeLaunchAndPowerSendOneCommand) {
    make();
    EXPECT_EQ(ask({{"command", "launch"}, {"app", "net"}}), kDone);
    EXPECT_EQ(bridge->commands.back()["app"], "netflix");
    EXPECT_EQ(ask({{"command", "type"}, {"text", "héllo"}}), kDone);
    EXPECT_EQ(bridge->commands.back(), json({{"action", "text"}, {"text", "héllo"}}));
    ASSERT_EQ(h->state().power, "On");
    EXPECT_EQ(ask({{"command", "power"}}), kDone);
    EXPECT_EQ(bridge->commands.back()["action"], "sleep");
    EXPECT_EQ(bridge->commands.size(), 3u);
}

TEST_F(ControlHandlerTest, RepeatCountsAreClampedAndSentOneAfterAnother) {
    make();
    const std::pair<json, std::size_t> table[] = {
        {json(), 1}, {0, 1}, {-3, 1},  {"5", 1},
        {3.0, 1},    {3, 3}, {50, 20}, {json(18446744073709551615ull), 20},
    };
    for (const auto& [count, presses] : table) {
        bridge->commands.clear();
        EXPECT_EQ(press("down", count.is_null() ? json::object() : json{{"count", count}}), kDone);
        EXPECT_EQ(bridge->commands.size(), presses) << count.dump();
    }
}

TEST_F(ControlHandlerTest, APressThatFailsEndsTheRepeats) {
    auto household = Household::builtIn();
    for (const std::optional<std::string>& device :
         {std::optional<std::string>(), std::optional(kLiving.id)}) {
        Fault fault;
        fault.op = BridgeOp::command;
        fault.device = device;
        fault.times = 1;
        household.faults.add(fault);  // the first press goes through
        fault.effect = Fault::Effect::error;
        fault.text = device ? "Living Room lost the signal." : "The remote signal was lost.";
        household.faults.add(fault);
    }
    make(kStored, household);

    EXPECT_EQ(press("up", {{"count", 3}}), refusal("The remote signal was lost."));
    EXPECT_EQ(bridge->commands.size(), 2u);
    EXPECT_EQ(press("up", {{"count", 3}, {"tv", "living"}}),
              refusal("Living Room lost the signal."));
    EXPECT_EQ(bridge->commands.size(), 4u);
    EXPECT_EQ(h->state().error, "The remote signal was lost.")
        << "the background failure stays off the remote";
    // A refusal without a reason does not borrow an older failure's words.
    EXPECT_EQ(press("up", {{"tv", "Kitchen"}}),
              refusal("Kitchen didn't take up. Is it on and connected?"));
}

TEST_F(ControlHandlerTest, ASocketWatchGetsItsErrorLineBeforeTheConnectionEnds) {
    make();
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    test::Client client{UniqueFd(pair[0])};
    auto stream = std::make_shared<ControlStream>(UniqueFd(pair[1]));
    handler->watchHandler()({{"tv", "Attic"}}, stream);
    h->loop.runUntilIdle();

    EXPECT_EQ(client.readAll(),
              refusal("No paired TV is called \"Attic\". " + kPaired).dump() + "\n");
    EXPECT_TRUE(client.ended()) << "the stream neither wrote nor ended";
    stream->finish();
}

TEST_F(ControlHandlerTest, ServerCallbacksHopToTheLoopAndHoldTheHandlerWeakly) {
    make();
    auto serve = handler->requestHandler();
    auto replies = std::make_shared<std::vector<json>>();
    const auto keep = [replies](json reply) { replies->push_back(std::move(reply)); };
    std::thread([&] { serve({{"command", "status"}}, keep); }).join();
    EXPECT_TRUE(replies->empty()) << "not answered off the loop";
    ASSERT_TRUE(h->loop.runUntil([&] { return !replies->empty(); }, 5.0));
    EXPECT_EQ((*replies)[0]["tv"]["name"], "Bedroom TV");

    serve({{"command", "press"}, {"action", "up"}}, keep);
    handler.reset();
    h->loop.advance(60);
    EXPECT_EQ(replies->size(), 1u) << "the server's time-out answers for a handler gone";
}

TEST_F(ControlHandlerTest, WatchSendsChangesButNotThePositionAlone) {
    make({{"pairedDevices", test::savedList({kLiving, kBedroom})}, {"lastDevice", kBedroom.id}});
    auto named = watch({{"tv", "Bedroom"}});
    auto selected = watch(json::object());
    ASSERT_EQ(named->lines.size(), 1u);

    send(RemoteAction::launchApp, {.app = "netflix"});
    send(RemoteAction::play);
    const auto playing = named->lines.size();
    ASSERT_GT(playing, 1u);
    EXPECT_EQ(named->lines.back()["tv"]["playing"], true);

    const auto position = h->state().progress.at(kBedroom.id).position;
    send(RemoteAction::skipForward);
    ASSERT_NE(h->state().progress.at(kBedroom.id).position, position) << "the TV did report";
    EXPECT_EQ(named->lines.size(), playing);

    send(RemoteAction::pause);
    ASSERT_EQ(named->lines.size(), playing + 1);
    EXPECT_EQ(named->lines.back()["tv"]["playing"], false);
    EXPECT_EQ(selected->lines, named->lines);

    h->store->connect(kLiving);
    h->loop.runUntilIdle();
    EXPECT_EQ(selected->lines.back()["tv"]["name"], "Living Room");
    EXPECT_EQ(named->lines.back()["tv"]["name"], "Bedroom TV");
}

TEST_F(ControlHandlerTest, WatchClosedStreamsAreLetGoAndANewWatchStillHearsChanges) {
    make({{"pairedDevices", test::savedList({kBedroom})}});
    auto waiting = watch(json::object());
    EXPECT_TRUE(waiting->lines.empty()) << "nothing to say until a TV is selected";
    h->store->connect(kBedroom);
    h->loop.runUntilIdle();
    ASSERT_FALSE(waiting->lines.empty());

    std::weak_ptr<RecordingStream> gone = waiting;
    waiting->closed = true;
    waiting.reset();
    send(RemoteAction::launchApp, {.app = "netflix"});
    send(RemoteAction::play);
    EXPECT_TRUE(gone.expired());

    auto later = watch(json::object());
    send(RemoteAction::pause);
    ASSERT_EQ(later->lines.size(), 2u);
    EXPECT_EQ(later->lines[0]["tv"]["playing"], true);
    EXPECT_EQ(later->lines[1]["tv"]["playing"], false);
}

}  // namespace
}  // namespace orvel::control_handler_test

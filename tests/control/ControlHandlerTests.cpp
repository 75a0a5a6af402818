// ControlHandler against an AppStore on the simulated household, in-process on the virtual
// clock: the replies of each command, repeat counts, and the server's callbacks.

#include "control/ControlHandler.hpp"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <thread>

#include "../session/SessionHarness.hpp"
#include "../session/SimBridge.hpp"
#include "core/ControlVerb.hpp"

namespace orvel::control_handler_test {
namespace {

using nlohmann::json;
using test::kBedroom;
using test::kKitchen;
using test::kLiving;
using test::savedList;
using test::SessionHarness;
using test::SimBridge;

const TVDevice kDen{"roku:sim-den", "Kitchen Den", {}};

// Passes every request on to the simulated bridge and keeps the "command" ones.
class RecordingBridge final : public BridgeTransport {
public:
    explicit RecordingBridge(std::unique_ptr<BridgeTransport> inner) : inner_(std::move(inner)) {}
    void setOnEvent(EventHandler handler) override { inner_->setOnEvent(std::move(handler)); }
    void setOnFailure(FailureHandler handler) override { inner_->setOnFailure(std::move(handler)); }
    std::optional<std::string> start() override { return inner_->start(); }
    void stop() override { inner_->stop(); }
    void request(const std::string& op, const json& fields, double timeout,
                 Completion completion) override {
        if (op == "command") commands.push_back(fields);
        inner_->request(op, fields, timeout, std::move(completion));
    }
    std::vector<json> commands;

private:
    std::unique_ptr<BridgeTransport> inner_;
};

Fault commandFault(Fault::Effect effect, std::string text = "",
                   std::optional<std::string> device = std::nullopt) {
    Fault fault;
    fault.op = BridgeOp::command;
    fault.device = std::move(device);
    fault.effect = effect;
    fault.text = std::move(text);
    fault.times = 1;
    return fault;
}

json refusal(const std::string& message) {
    return {{"ok", false}, {"error", message}};
}

// Paired: the living room (with its credentials), the kitchen (without), the Roku bedroom,
// which was used last, and a den the household does not have.
json pairedHousehold() {
    return {{"pairedDevices", savedList({kLiving, kKitchen, kBedroom, kDen})},
            {"lastDevice", kBedroom.id}};
}

class ControlHandlerTest : public ::testing::Test {
protected:
    void make(const json& stored = pairedHousehold(), Household household = Household::builtIn()) {
        h = std::make_unique<SessionHarness>(stored);
        h->credentials.save(kLiving.id, test::pairedCredentials(kLiving.id));
        auto recording =
            std::make_unique<RecordingBridge>(std::make_unique<SimBridge>(h->loop, household));
        bridge = recording.get();
        h->makeWith(std::move(recording));
        h->store->start();
        h->loop.runUntilIdle();
        // The fixture outlives the handler it owns.
        handler = ControlHandler::create(h->loop, h->store, [this] { ++opened; });
    }

    // The one reply to `request`, once the session has done what it asked.
    json ask(const json& request) {
        auto replies = std::make_shared<std::vector<json>>();
        handler->handleControl(request, [replies](json reply) { replies->push_back(reply); });
        h->loop.runUntilIdle();
        EXPECT_EQ(replies->size(), 1u) << request.dump();
        return replies->empty() ? json() : replies->front();
    }
    std::unique_ptr<SessionHarness> h;
    RecordingBridge* bridge = nullptr;
    std::shared_ptr<ControlHandler> handler;
    int opened = 0;
};

TEST_F(ControlHandlerTest, RequestsThatFailBeforeAnythingIsSent) {
    make();
    ASSERT_TRUE(h->state().connected);
    const std::string unknown = "Unknown command.";
    const std::pair<json, std::string> table[] = {
        {{{"command", "status"}, {"tv", "zzz"}},
         "No paired TV is called \"zzz\". Paired: Living Room, Kitchen, Bedroom TV, Kitchen Den."},
        {json::object(), unknown},
        {{{"command", 7}}, unknown},
        {{{"command", "press"}, {"action", "menu"}}, unknown},
        {{{"command", "press"}, {"action", "setVolume"}}, unknown},
        {{{"command", "press"}, {"action", "play-pause"}}, unknown},
        {{{"command", "press"}}, unknown},
        {{{"command", "type"}}, "Nothing to type."},
        {{{"command", "type"}, {"text", ""}}, "Nothing to type."},
        {{{"command", "type"}, {"text", 5}}, "Nothing to type."},
        {{{"command", "power"}, {"tv", "kitchen"}},
         "Orvel can't tell whether Kitchen is on. Use orvel wake or orvel sleep."},
        {{{"command", "launch"}, {"app", "zzz"}},
         "Bedroom TV has no app called \"zzz\". Run orvel apps to see them."},
        {{{"command", "apps"}, {"tv", "Kitchen Den"}},
         "The TV \"roku:sim-den\" was not found on the network."},
    };
    for (const auto& [request, message] : table) {
        SCOPED_TRACE(request.dump());
        EXPECT_EQ(ask(request), refusal(message));
    }
    EXPECT_TRUE(bridge->commands.empty());
}

TEST_F(ControlHandlerTest, StatusTVsAppsAndOpenNeedNoCommand) {
    make();
    EXPECT_EQ(ask({{"command", "status"}})["tv"]["name"], "Bedroom TV");
    EXPECT_EQ(ask({{"command", "nowplaying"}, {"tv", "liv"}})["tv"]["name"], "Living Room");
    const auto tvs = ask({{"command", "tvs"}});
    ASSERT_EQ(tvs["tvs"].size(), 4u);
    EXPECT_EQ(tvs["tvs"][3]["name"], "Kitchen Den");
    EXPECT_EQ(ask({{"command", "open"}}), json({{"ok", true}}));
    EXPECT_EQ(opened, 1);
    const auto apps = ask({{"command", "apps"}});
    ASSERT_EQ(apps["apps"].size(), 4u);
    EXPECT_EQ(apps["apps"][0], json({{"id", "netflix"}, {"name", "Netflix"}}));
    EXPECT_TRUE(bridge->commands.empty());

    // With nothing paired only "tvs" and "open" work; even an unknown command says why.
    make(json::object());
    EXPECT_EQ(ask({{"command", "tvs"}}), json({{"ok", true}, {"tvs", json::array()}}));
    EXPECT_EQ(ask({{"command", "open"}}), json({{"ok", true}}));
    EXPECT_EQ(ask({{"command", "reboot"}}),
              refusal("No TVs paired. Pair one in Orvel Remote's Settings."));
}

TEST_F(ControlHandlerTest, EveryVerbGoesToTheSelectedTVOrToTheNamedOne) {
    make();
    // Unwatched, so a command for the living room goes with its stored credentials.
    h->store->setFollowPlaying(false);
    h->loop.runUntilIdle();
    for (const auto& [word, action] : ControlVerb::kActions) {
        SCOPED_TRACE(std::string(word));
        const json press = {{"command", "press"}, {"action", rawValue(action)}};

        const bool can = h->store->can(action);
        const auto before = bridge->commands.size();
        const auto reply = ask(press);
        if (can) {
            ASSERT_EQ(bridge->commands.size(), before + 1);
            EXPECT_EQ(bridge->commands.back(), json({{"action", rawValue(action)}}));
            EXPECT_TRUE(reply["ok"] == true || !reply["error"].get<std::string>().empty());
        } else {
            EXPECT_EQ(bridge->commands.size(), before);
            const std::string expected =
                !h->state().notice.empty()
                    ? h->state().notice
                    : "Bedroom TV can't " + std::string(ControlVerb::name(action)) + " right now.";
            EXPECT_EQ(reply, refusal(expected));
        }

        auto named = press;
        named["tv"] = "Living Room";
        const auto other = ask(named);
        ASSERT_EQ(bridge->commands.size(), before + can + 1) << "no checks for another TV";
        const auto& sent = bridge->commands.back();
        EXPECT_EQ(sent["device"], kLiving.id);
        EXPECT_TRUE(other["ok"] == true || !other["error"].get<std::string>().empty());
    }
    ask({{"command", "press"}, {"action", "wake"}});
    ask({{"command", "press"}, {"action", "wake"}, {"tv", "liv"}});
    EXPECT_EQ(ask({{"command", "press"}, {"action", "up"}}), json({{"ok", true}}));
    EXPECT_EQ(ask({{"command", "press"}, {"action", "up"}, {"tv", "liv"}}), json({{"ok", true}}));
}

TEST_F(ControlHandlerTest, TypeLaunchAndPowerSendOneCommandAndNeedAConnection) {
    make();
    EXPECT_EQ(ask({{"command", "launch"}, {"app", "net"}}), json({{"ok", true}}));
    EXPECT_EQ(bridge->commands.back()["app"], "netflix");
    EXPECT_EQ(ask({{"command", "type"}, {"text", "héllo"}}), json({{"ok", true}}));
    EXPECT_EQ(bridge->commands.back(), json({{"action", "text"}, {"text", "héllo"}}));
    ASSERT_EQ(h->state().power, "On");
    EXPECT_EQ(ask({{"command", "power"}}), json({{"ok", true}}));
    EXPECT_EQ(bridge->commands.back()["action"], "sleep");
    h->store->disconnect();
    EXPECT_EQ(ask({{"command", "press"}, {"action", "up"}}),
              refusal("Bedroom TV isn't connected right now."));
    EXPECT_EQ(bridge->commands.size(), 3u);
}

TEST_F(ControlHandlerTest, RepeatCountsAreClampedAndSentOneAfterAnother) {
    make();
    const std::pair<json, std::size_t> table[] = {
        {json(), 1}, {0, 1}, {-3, 1},  {"5", 1},
        {3.0, 1},    {3, 3}, {50, 20}, {json(18446744073709551615ull), 20},
    };
    for (const auto& [count, presses] : table) {
        SCOPED_TRACE(count.dump());
        json request = {{"command", "press"}, {"action", "down"}};
        if (!count.is_null()) request["count"] = count;
        bridge->commands.clear();
        EXPECT_EQ(ask(request), json({{"ok", true}}));
        EXPECT_EQ(bridge->commands.size(), presses);
    }
}

TEST_F(ControlHandlerTest, APressThatFailsEndsTheRepeats) {
    auto household = Household::builtIn();
    household.faults.add(commandFault(Fault::Effect::answer));
    household.faults.add(commandFault(Fault::Effect::error, "The remote signal was lost."));
    household.faults.add(commandFault(Fault::Effect::answer, "", kLiving.id));
    household.faults.add(
        commandFault(Fault::Effect::error, "Living Room lost the signal.", kLiving.id));
    make(pairedHousehold(), household);

    EXPECT_EQ(ask({{"command", "press"}, {"action", "up"}, {"count", 3}}),
              refusal("The remote signal was lost."));
    EXPECT_EQ(bridge->commands.size(), 2u);
    EXPECT_EQ(ask({{"command", "press"}, {"action", "up"}, {"count", 3}, {"tv", "living"}}),
              refusal("Living Room lost the signal."));
    EXPECT_EQ(bridge->commands.size(), 4u);
    EXPECT_EQ(h->state().error, "The remote signal was lost.")
        << "the background failure stays off the remote";

    // Refusals without a reason do not borrow an older failure's words.
    EXPECT_EQ(ask({{"command", "press"}, {"action", "up"}, {"tv", "Kitchen"}}),
              refusal("Kitchen didn't take up. Is it on and connected?"));
}

TEST_F(ControlHandlerTest, ASocketWatchGetsItsErrorLineBeforeTheConnectionEnds) {
    make();
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    UniqueFd client(pair[0]);
    // Held as the server's serving worker holds it, until the client has seen the end.
    auto stream = std::make_shared<ControlStream>(UniqueFd(pair[1]));
    handler->watchHandler()({{"tv", "Attic"}}, stream);
    h->loop.runUntilIdle();

    std::string received;
    for (;;) {
        pollfd ready{client.get(), POLLIN, 0};
        ASSERT_EQ(::poll(&ready, 1, 5000), 1) << "the stream neither wrote nor ended";
        char buffer[512];
        const auto n = ::read(client.get(), buffer, sizeof buffer);
        ASSERT_GE(n, 0);
        if (n == 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    stream->finish();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back(), '\n');
    EXPECT_EQ(received.find('\n'), received.size() - 1) << "exactly one line";
    EXPECT_EQ(json::parse(received)["error"],
              "No paired TV is called \"Attic\". Paired: Living Room, Kitchen, Bedroom TV, "
              "Kitchen Den.");
}

TEST_F(ControlHandlerTest, ServerCallbacksHopToTheLoopAndHoldTheHandlerWeakly) {
    make();
    auto serve = handler->requestHandler();
    auto replies = std::make_shared<std::vector<json>>();
    std::thread worker([&] {
        serve({{"command", "status"}}, [replies](json reply) { replies->push_back(reply); });
    });
    worker.join();
    EXPECT_TRUE(replies->empty()) << "not answered off the loop";
    ASSERT_TRUE(h->loop.runUntil([&] { return !replies->empty(); }, 5.0));
    EXPECT_EQ((*replies)[0]["tv"]["name"], "Bedroom TV");

    serve({{"command", "press"}, {"action", "up"}},
          [replies](json reply) { replies->push_back(reply); });
    handler.reset();
    h->loop.advance(60);
    EXPECT_EQ(replies->size(), 1u) << "the server's time-out answers for a handler gone";
}

}  // namespace
}  // namespace orvel::control_handler_test

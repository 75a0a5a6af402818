#include "core/ProcessBridgeClient.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../support/ProcessInspection.hpp"
#include "../support/ScratchDir.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel {
namespace {

using nlohmann::json;
using Log = std::vector<std::string>;

const std::string kNotRunning = "The TV helper is not running.";
const std::string kUnableToSend = "Unable to send a command to the TV helper.";
const std::string kStopped = "The TV connection helper stopped.";
const std::string kHelperStopped = "The TV connection helper stopped. Reconnect to try again.";
const std::string kNoResponse = "The TV did not respond. Reconnect to try again.";
const std::string kInvalidResponse = "The TV helper returned an invalid response.";

bool alive(pid_t pid) {
    const char state = test::processState(pid);
    return state != '\0' && state != 'Z';
}

class ProcessBridgeClientTest : public testing::Test {
protected:
    void make() {
        client = std::make_unique<ProcessBridgeClient>(loop, [this] {
            return ProcessBridgeClient::Configuration{ORVEL_SCRIPTED_BRIDGE, arguments};
        });
        client->setOnEvent([this](const json& event) {
            if (event.value("event", "") == "ready") readyEvents.push_back(event);
            log.push_back("event " + event.value("event", "?"));
        });
        client->setOnFailure(
            [this](const std::string& message) { log.push_back("failure " + message); });
    }
    // Starts `mode` and waits for its "ready"; the log starts empty afterwards.
    void startReady(std::vector<std::string> args) {
        arguments = std::move(args);
        if (!client) make();
        std::size_t before = readyEvents.size();
        ASSERT_EQ(client->start(), std::nullopt);
        ASSERT_TRUE(loop.runUntil([&] { return readyEvents.size() > before; }));
        pid = readyEvents.back()["pid"].get<pid_t>();
        log.clear();
    }
    // Queues request `n`; its completion logs "reply n" or "error n <message>", then runs `then`.
    void send(int n, double timeout = 30, json fields = json::object(),
              const std::function<void()>& then = {}) {
        fields["n"] = n;
        client->request("test", fields, timeout, [this, n, then](const json& reply) {
            replies.push_back(reply);
            log.push_back(reply.contains("error") ? "error " + std::to_string(n) + " " +
                                                        reply["error"].get<std::string>()
                                                  : "reply " + std::to_string(n));
            if (then) then();
        });
    }
    // For conditions outside the loop (files, /proc) that post nothing to wake it.
    bool eventually(const std::function<bool()>& done) {
        for (int i = 0; i < 1000; ++i) {
            if (loop.runUntil(done, 0.01)) return true;
        }
        return false;
    }
    bool waitForLog(std::size_t size) {
        return loop.runUntil([&] { return log.size() >= size; });
    }

    ManualLoop loop;
    std::vector<std::string> arguments;
    std::unique_ptr<ProcessBridgeClient> client;
    std::vector<std::string> log;
    std::vector<json> replies;
    std::vector<json> readyEvents;
    pid_t pid = -1;
};

TEST_F(ProcessBridgeClientTest, WhatCannotStartOrBeSentFailsAtOnceAndAloneSaysSo) {
    ProcessBridgeClient missing(loop, [] { return std::string("The TV helper is missing."); });
    EXPECT_EQ(missing.start(), "The TV helper is missing.");
    ProcessBridgeClient absent(loop, [] {
        return ProcessBridgeClient::Configuration{"/nonexistent/OrvelBridge", {}};
    });
    absent.setOnFailure([this](const std::string& message) { log.push_back(message); });
    EXPECT_NE(absent.start().value_or(""), "");
    EXPECT_FALSE(absent.isStarted());
    loop.runUntilIdle();
    EXPECT_TRUE(log.empty()) << "a start error is returned, not reported";
    make();
    send(1);
    EXPECT_EQ(log, (Log{"error 1 " + kNotRunning}));
    client->stop();  // nothing to stop
    EXPECT_FALSE(client->isStarted());
    // Requests that cannot be encoded fail alone; the session goes on.
    startReady({"echo"});
    send(2, 30, {{"bad", "\xff"}});
    client->request("test", json::array({1}), 30, [this](const json& reply) {
        log.push_back("error 3 " + reply.value("error", ""));
    });
    send(4);
    ASSERT_TRUE(waitForLog(3));
    EXPECT_EQ(log, (Log{"error 2 " + kUnableToSend, "error 3 " + kUnableToSend, "reply 4"}));
    client.reset();
    startReady({"exit"});
    send(5);
    ASSERT_TRUE(waitForLog(2));
    send(6);
    EXPECT_EQ(log, (Log{"error 5 " + kHelperStopped, "failure " + kHelperStopped,
                        "error 6 " + kNotRunning}));
}

TEST_F(ProcessBridgeClientTest, OneRequestOnTheWireAndFreshIds) {
    startReady({"delay:0.05"});
    send(1, 30, {{"id", "mine"}, {"op", "other"}, {"text", "hi"}});
    send(2);
    send(3);
    ASSERT_TRUE(waitForLog(3));
    EXPECT_EQ(log, (Log{"reply 1", "reply 2", "reply 3"}));
    // Canonical upper-case text of a random (version 4, RFC 4122 variant) UUID.
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::string> ids;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const auto& reply = replies[i];
        EXPECT_EQ(reply["n"], i + 1);
        EXPECT_EQ(reply["op"], "test");
        EXPECT_FALSE(reply["pending"].get<bool>()) << "a second line was written early";
        EXPECT_TRUE(std::regex_match(reply["id"].get<std::string>(), uuid)) << reply["id"];
        ids.insert(reply["id"].get<std::string>());
    }
    EXPECT_EQ(replies[0]["text"], "hi");
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_EQ(client->start(), std::nullopt);  // already running: same child
    send(4);
    ASSERT_TRUE(waitForLog(4));
    EXPECT_EQ(replies.back()["pid"], pid);
    EXPECT_EQ(readyEvents.size(), 1u);
}

TEST_F(ProcessBridgeClientTest, EventsStrayRepliesAndSplitLines) {
    struct Case {
        const char* mode;
        std::vector<std::string> expected;
        std::size_t padding = 0;  // of request 1: more than the pipe takes at once
    };
    for (const Case& c : {
             Case{"chatty", {"event before", "event numeric", "reply 1", "event after"}},
             Case{"split", {"reply 1"}},
             Case{"huge:1900000", {"event huge", "reply 1"}},
             Case{"echo", {"reply 1"}, 300000},
         }) {
        SCOPED_TRACE(c.mode);
        client.reset();
        startReady({c.mode});
        send(1, 30, {{"pad", std::string(c.padding, 'p')}});
        ASSERT_TRUE(loop.runUntil([&] { return log.size() >= c.expected.size(); }));
        loop.runUntilIdle();
        EXPECT_EQ(log, c.expected);
        EXPECT_EQ(replies.back()["pad"].get<std::string>().size(), c.padding);
    }
}

// Every way a session ends: each pending request completes once, in order, before onFailure.
TEST_F(ProcessBridgeClientTest, EveryFailureCauseFailsAllPendingInOrder) {
    enum class Trigger { child, release, timeout, stop };
    struct Case {
        const char* mode;
        Trigger trigger;
        std::string message;
        bool notify;
        std::size_t padding = 0;
    };
    for (const Case& c : {
             // Exiting only once all three are sent: a request made after the child died is
             // refused at once instead.
             Case{"exit-late", Trigger::release, kHelperStopped, true},
             Case{"close-stdout", Trigger::child, kHelperStopped, true},
             Case{"garbage", Trigger::child, kInvalidResponse, true},
             Case{"huge:2000000", Trigger::child, kInvalidResponse, true},
             Case{"close-stdin", Trigger::child, kUnableToSend, true},
             // More than the pipe takes: the rest is written by the writer thread.
             Case{"drop-stdin", Trigger::release, kUnableToSend, true, 300000},
             Case{"silent", Trigger::timeout, kNoResponse, true},
             Case{"silent", Trigger::stop, kStopped, false},
         }) {
        SCOPED_TRACE(c.mode);
        client.reset();
        startReady({c.mode, "--linger"});
        // The second time-out is shorter than the first: it counts from its own write.
        send(1, 10, {{"pad", std::string(c.padding, 'p')}});
        send(2, 3);
        send(3, 3);
        if (c.trigger == Trigger::timeout) {
            loop.advance(9.9);
            EXPECT_TRUE(log.empty());
            loop.advance(0.1);
        } else if (c.trigger == Trigger::stop) {
            client->stop();
        } else {
            if (c.trigger == Trigger::release) kill(pid, SIGUSR1);
            ASSERT_TRUE(waitForLog(3));
        }
        loop.runUntilIdle();
        std::vector<std::string> expected;
        for (int n = 1; n <= 3; ++n)
            expected.push_back("error " + std::to_string(n) + " " + c.message);
        if (c.notify) expected.push_back("failure " + c.message);
        EXPECT_EQ(log, expected);
        EXPECT_FALSE(client->isStarted());
        loop.advance(4);  // teardown timers
    }
}

TEST_F(ProcessBridgeClientTest, CompletionThatRestartsSuppressesOnFailure) {
    startReady({"silent"});
    send(1, 5, {}, [this] {
        arguments = {"echo"};
        EXPECT_EQ(client->start(), std::nullopt);
    });
    send(2);
    loop.advance(5);
    EXPECT_EQ(log, (Log{"error 1 " + kNoResponse, "error 2 " + kNoResponse}));
    EXPECT_TRUE(client->isStarted());
    send(3);
    ASSERT_TRUE(waitForLog(4));
    EXPECT_EQ(log.back(), "reply 3");
    EXPECT_NE(replies.back()["pid"], pid);
}

TEST_F(ProcessBridgeClientTest, LinesFromAnOldSessionAreIgnored) {
    startReady({"chatty"});  // writes all its lines at once
    client->setOnEvent([this](const json& event) {
        log.push_back("event " + event.value("event", "?"));
        if (event.value("event", "") == "before") {
            client->stop();
            EXPECT_EQ(client->start(), std::nullopt);
        }
    });
    send(1);
    ASSERT_TRUE(waitForLog(3));
    loop.runUntilIdle();
    EXPECT_EQ(log, (Log{"event before", "error 1 " + kStopped, "event ready"}));
}

TEST_F(ProcessBridgeClientTest, CompletionMayDestroyTheClient) {
    startReady({"echo"});
    send(1, 30, {}, [this] { client.reset(); });
    send(2);
    ASSERT_TRUE(waitForLog(2));
    loop.runUntilIdle();
    EXPECT_EQ(log, (Log{"reply 1", "error 2 " + kStopped}));
    loop.advance(4);
    EXPECT_TRUE(test::reaped(pid));
}

// A time-out terminates at once; a stop closes stdin and terminates two seconds later. Either
// way a child that ignores SIGTERM is killed two seconds after it, then reaped.
TEST_F(ProcessBridgeClientTest, EndingEscalatesToTermThenKill) {
    for (bool timeout : {true, false}) {
        SCOPED_TRACE(timeout ? "time-out" : "stop");
        client.reset();
        test::ScratchDir dir;
        const std::string logPath = dir / "bridge.log";
        auto logged = [&] { return test::ScratchDir::read(logPath); };
        startReady({"silent", "--log", logPath, "--ignore-term", "--linger"});
        if (timeout) {
            send(1, 5);
            loop.advance(4.9);
            EXPECT_TRUE(log.empty());
            loop.advance(0.1);
            EXPECT_EQ(log, (Log{"error 1 " + kNoResponse, "failure " + kNoResponse}));
        } else {
            send(1);
            client->stop();
            EXPECT_EQ(log, (Log{"error 1 " + kStopped}));
            ASSERT_TRUE(eventually([&] { return logged() == "EOF\n"; }));
            loop.advance(1.9);
            loop.runUntilIdle();
            EXPECT_EQ(logged(), "EOF\n");
            loop.advance(0.1);
        }
        const std::string term = timeout ? "TERM\n" : "EOF\nTERM\n";
        ASSERT_TRUE(eventually([&] { return logged().starts_with(term); }));
        loop.advance(1.9);
        EXPECT_TRUE(alive(pid));
        loop.advance(0.1);
        ASSERT_TRUE(eventually([&] { return !alive(pid); }));
        if (timeout) loop.advance(2);
        EXPECT_TRUE(test::reaped(pid));
        // The child dying at the end of a stop is no failure of its own.
        EXPECT_EQ(log.size(), timeout ? 2u : 1u) << log.back();
    }
}

TEST_F(ProcessBridgeClientTest, GrandchildHoldingStdoutDoesNotKeepTheReader) {
    int threads = test::procEntries(getpid(), "task");
    startReady({"grandchild"});
    auto grandchild = readyEvents.back()["grandchild"].get<pid_t>();
    send(1);
    ASSERT_TRUE(waitForLog(1));
    // Should releasing the session wait for the grandchild, the watchdog ends that wait.
    std::promise<void> released;
    std::atomic<bool> fired = false;
    std::thread watchdog([&, done = released.get_future()] {
        if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return;
        fired = true;
        kill(grandchild, SIGKILL);
    });
    client->stop();
    loop.advance(4);  // the session is released here
    released.set_value();
    watchdog.join();
    EXPECT_FALSE(fired) << "the reader waited for the grandchild to close stdout";
    EXPECT_TRUE(test::reaped(pid));
    EXPECT_TRUE(eventually([&] { return test::procEntries(getpid(), "task") <= threads; }));
    kill(grandchild, SIGKILL);
}

TEST_F(ProcessBridgeClientTest, StartStopCyclesLeakNothing) {
    auto cycle = [this](int i) {
        startReady({i % 2 ? "echo" : "exit"});
        send(i);
        ASSERT_TRUE(waitForLog(1));
        client->stop();
        loop.advance(4);
    };
    cycle(0);
    int fds = test::procEntries(getpid(), "fd");
    int threads = test::procEntries(getpid(), "task");
    for (int i = 1; i <= 200; ++i) {
        cycle(i);
        if (HasFatalFailure()) return;
    }
    // A joined thread can stay listed a moment after the join; the baseline may hold one.
    EXPECT_TRUE(eventually([&] { return test::procEntries(getpid(), "fd") <= fds; })) << fds;
    EXPECT_TRUE(eventually([&] { return test::procEntries(getpid(), "task") <= threads; }));
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child was left unreaped";
}

}  // namespace
}  // namespace orvel

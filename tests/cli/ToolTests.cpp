// Runs the built orvel program against a control server of the test's own and checks what it
// prints and how it exits.

#include <gtest/gtest.h>

#include <mutex>
#include <regex>
#include <thread>
#include <vector>

#include "../support/ControlClient.hpp"
#include "../support/LoopThread.hpp"
#include "../support/ProgramRun.hpp"
#include "../support/ScopedEnvironment.hpp"
#include "../support/TempDataHome.hpp"
#include "../support/Waiting.hpp"
#include "control/ControlListener.hpp"
#include "control/ControlServer.hpp"
#include "control/SocketIo.hpp"
#include "core/ControlCommand.hpp"

namespace orvel {
namespace {

using nlohmann::json;
using test::LoopThread;
using test::ScopedEnvironment;
using test::TempDataHome;

using ToolRun = test::ProgramRun;

// Runs orvel with the arguments; kills it if it has not ended after `seconds`.
ToolRun runTool(const std::vector<std::string>& arguments, double seconds = 10.0) {
    return test::runProgram(ORVEL_TOOL_PATH, arguments, seconds);
}

const std::string kHelp = std::string(ControlCommand::help()) + "\n";
const json kLiving = {
    {"name", "Living Room"}, {"kind", "Apple TV"},      {"selected", true}, {"connected", true},
    {"playing", true},       {"title", "Evening News"}, {"app", "TV"}};
const json kKitchen = {{"name", "Kitchen"},  {"kind", "Roku"},   {"selected", false},
                       {"connected", false}, {"playing", false}, {"title", ""},
                       {"app", ""}};

class ToolTest : public ::testing::Test {
protected:
    // The server answers every request with `reply` and remembers the request.
    void serve(json reply) {
        // The fixture outlives the server it owns.
        server = std::make_unique<ControlServer>(
            loopThread.loop(), home.socketPath(),
            [this, reply](const json& request, ControlServer::Reply answer) {
                {
                    std::lock_guard lock(mutex);
                    requests.push_back(request);
                }
                answer(reply);
            });
        const auto error = server->start();
        ASSERT_FALSE(error) << *error;
    }
    // Watch requests get these lines, one after the other, then the stream is closed (or left
    // open when `close` is false).
    void serveWatch(std::vector<std::string> lines, bool close) {
        serve({{"ok", false}});
        server->setWatchHandler([lines, close](const json&, std::shared_ptr<ControlStream> stream) {
            for (const auto& line : lines) stream->send(json::parse(line));
            if (close) stream->closeAfterSending();
        });
    }

    TempDataHome home;
    ScopedEnvironment cLocale{"LC_ALL", "C"};
    LoopThread loopThread;
    std::mutex mutex;
    std::vector<json> requests;
    std::unique_ptr<ControlServer> server;
};

struct Row {
    std::vector<std::string> arguments;
    json reply;
    std::string out;
    std::string err;
    int status;
};

void expectRows(const std::vector<Row>& rows, const std::function<void(json)>& serve) {
    for (const Row& row : rows) {
        serve(row.reply);
        const ToolRun run = runTool(row.arguments);
        std::string words;
        for (const auto& word : row.arguments) words += word + " ";
        EXPECT_EQ(run.out, row.out) << words;
        EXPECT_EQ(run.err, row.err) << words;
        EXPECT_EQ(run.status, row.status) << words;
    }
}

TEST_F(ToolTest, HelpAndUsageNeedNoAppAndCommandsSayItIsNotRunning) {
    const std::string notRunning = "orvel: Orvel Remote isn't running. Open it first.\n";
    const std::vector<Row> rows = {
        {{"tvs"}, {}, "", notRunning, 3},
        {{"watch"}, {}, "", notRunning, 3},
        {{}, {}, kHelp, "", 2},
        {{"--help"}, {}, kHelp, "", 0},
        {{"-h"}, {}, kHelp, "", 0},
        {{"help"}, {}, kHelp, "", 0},
        {{"status", "--help"}, {}, kHelp, "", 0},
        {{"type", "help", "me"}, {}, kHelp, "", 0},
        {{"-x", "tvs"}, {}, "", "orvel: Unknown option -x. Run orvel --help.\n", 2},
    };
    expectRows(rows, [](json) {});
}

// Which line each reply becomes is ReplyFormat's to test; here: the tool prints them, each
// with its line feed, sends what it parsed, and turns failures into its sentences and status.
TEST_F(ToolTest, PrintsRepliesAndFailures) {
    const std::string didNotWork = "orvel: That didn't work.\n";
    const std::vector<Row> rows = {
        {{"tvs"},
         {{"ok", true}, {"tvs", {kLiving, kKitchen}}},
         "* Living Room — Apple TV · ▶ Evening News\n  Kitchen — Roku · not connected\n",
         "",
         0},
        {{"status"},
         {{"ok", false}, {"error", "No TV is selected."}},
         "",
         "orvel: No TV is selected.\n",
         1},
        {{"status"}, json::object(), "", didNotWork, 1},
        // A reply that cannot be written reaches the tool as a closed connection.
        {{"status"},
         {{"ok", true}, {"title", "\xff"}},
         "",
         "orvel: Orvel Remote did not answer.\n",
         1},
        {{"--json", "tvs"},
         {{"tvs", {kKitchen}}, {"ok", true}},
         R"({"ok":true,"tvs":[{"app":"","connected":false,"kind":"Roku","name":"Kitchen","playing":false,"selected":false,"title":""}]})"
         "\n",
         "",
         0},
        {{"tvs", "--json"},
         {{"ok", false}, {"error", "Nope."}},
         "{\"error\":\"Nope.\",\"ok\":false}\n",
         "",
         1},
        {{"--json", "up"}, {{"ok", 1}}, "{\"ok\":1}\n", "", 1},
    };
    expectRows(rows, [this](json reply) { serve(std::move(reply)); });

    serve({{"ok", true}});
    {
        std::lock_guard lock(mutex);
        requests.clear();
    }
    const ToolRun press = runTool({"--tv", "kitchen", "up", "3"});
    EXPECT_EQ(press.status, 0);
    EXPECT_EQ(press.out + press.err, "");
    std::lock_guard lock(mutex);
    EXPECT_EQ(requests,
              std::vector<json>{
                  json({{"command", "press"}, {"action", "up"}, {"count", 3}, {"tv", "kitchen"}})});
}

// A bare server for bytes the real one never writes: takes one request line, answers with
// `bytes` and closes.
std::thread answerOnce(const ControlListener& listener, std::string bytes) {
    return std::thread([fd = listener.fd(), bytes = std::move(bytes)] {
        if (SocketIo::waitFor(fd, POLLIN, -1, 10) != SocketIo::Wait::ready) return;
        UniqueFd client(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC));
        std::string request;
        char chunk[4096];
        while (request.find('\n') == std::string::npos) {
            const ssize_t got = ::recv(client.get(), chunk, sizeof chunk, 0);
            if (got <= 0) break;
            request.append(chunk, static_cast<std::size_t>(got));
        }
        ::send(client.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    });
}

TEST_F(ToolTest, WatchPrintsALinePerChangeUntilTheEnd) {
    const std::string playing =
        R"({"ok":true,"tv":{"name":"Kitchen","connected":true,"playing":true,"title":"Song","app":"Music"}})";
    const std::string idle = R"({"ok":true,"tv":{"connected":true}})";
    {
        serveWatch({playing, idle, R"({"ok":true,"tv":{"name":"K"},"x":[1]})", "{}"}, false);
        const ToolRun run = runTool({"watch"});
        EXPECT_TRUE(
            std::regex_match(run.out, std::regex(R"(\d\d:\d\d:\d\d  Kitchen: ▶ Song \(Music\)\n)"
                                                 R"(\d\d:\d\d:\d\d  TV: Nothing playing\.\n)"
                                                 R"(\d\d:\d\d:\d\d  K: K isn't connected\.\n)")))
            << run.out;
        EXPECT_EQ(run.err, "orvel: The watch ended.\n");
        EXPECT_EQ(run.status, 1);
    }
    {
        serveWatch({playing, R"({"ok":false,"error":"Kitchen went away."})"}, false);
        const ToolRun run = runTool({"--json", "watch"});
        EXPECT_EQ(run.out, json::parse(playing).dump() +
                               "\n{\"error\":\"Kitchen went away.\",\"ok\":false}\n");
        EXPECT_EQ(run.err, "orvel: Kitchen went away.\n");
        EXPECT_EQ(run.status, 1);
    }
    {
        serveWatch({idle}, true);
        const ToolRun run = runTool({"watch"});
        EXPECT_TRUE(
            std::regex_match(run.out, std::regex(R"(\d\d:\d\d:\d\d  TV: Nothing playing\.\n)")))
            << run.out;
        EXPECT_EQ(run.err, "orvel: Orvel Remote quit.\n");
        EXPECT_EQ(run.status, 3);
    }
}

// Replies the real server never writes, from a bare socket: a reply that is not one object
// means no answer; in a watch, such a line is skipped.
TEST_F(ToolTest, LinesThatAreNotOneObject) {
    const std::string watchLines =
        "not json\n[1]\n{\"ok\":true,\"tv\":{\"name\":\"A\",\"connected\":false}}\n{}\n";
    for (const std::string bytes :
         {"", "not json\n", "[true]\n", "{\"ok\":true}\n{\"ok\":true}\n", watchLines.c_str()}) {
        SCOPED_TRACE(bytes);
        const auto listener = ControlListener::open(home.socketPath());
        ASSERT_TRUE(listener) << listener.error();
        std::thread answer = answerOnce(*listener, bytes);
        const bool watch = bytes == watchLines;
        const ToolRun run = runTool(watch ? std::vector<std::string>{"--json", "watch"}
                                          : std::vector<std::string>{"tvs"});
        answer.join();
        EXPECT_EQ(run.out,
                  watch ? "{\"ok\":true,\"tv\":{\"connected\":false,\"name\":\"A\"}}\n{}\n" : "");
        EXPECT_EQ(run.err,
                  watch ? "orvel: The watch ended.\n" : "orvel: Orvel Remote did not answer.\n");
        EXPECT_EQ(run.status, 1);
    }
}

}  // namespace
}  // namespace orvel

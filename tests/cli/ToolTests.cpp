// The built orvel program against a control server of the test's own: what it prints, its status.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <mutex>
#include <regex>
#include <thread>
#include <vector>

#include "../support/LoopThread.hpp"
#include "../support/ProgramRun.hpp"
#include "../support/ScopedEnvironment.hpp"
#include "../support/TempDataHome.hpp"
#include "control/ControlListener.hpp"
#include "control/ControlServer.hpp"
#include "control/SocketIo.hpp"
#include "core/ControlCommand.hpp"

namespace orvel {
namespace {

using nlohmann::json;

test::ProgramRun runTool(const std::vector<std::string>& arguments) {
    return test::runProgram(ORVEL_TOOL_PATH, arguments, 10.0);
}

const std::string kHelp = std::string(ControlCommand::help()) + "\n";
const std::string kNoAnswer = "orvel: Orvel Remote did not answer.\n";
const json kKitchen = {{"name", "Kitchen"}, {"kind", "Roku"}, {"connected", false}};

struct Row {
    std::vector<std::string> arguments;
    json reply;
    std::string out, err;
    int status;
};

class ToolTest : public ::testing::Test {
protected:
    // The server answers every request with `reply` and keeps the last request.
    void serve(const json& reply) {
        // The fixture outlives the server it owns.
        server = std::make_unique<ControlServer>(
            loopThread.loop(), home.socketPath(),
            [this, reply](const json& request, const ControlServer::Reply& answer) {
                std::lock_guard lock(mutex);
                lastRequest = request;
                answer(reply);
            });
        const auto error = server->start();
        ASSERT_FALSE(error) << *error;
    }
    void expectRows(const std::vector<Row>& rows, bool serving) {
        for (const Row& row : rows) {
            if (serving) serve(row.reply);
            const auto run = runTool(row.arguments);
            const std::string words = json(row.arguments).dump();
            EXPECT_EQ(run.out, row.out) << words;
            EXPECT_EQ(run.err, row.err) << words;
            EXPECT_EQ(run.status, row.status) << words;
        }
    }

    test::TempDataHome home;
    test::ScopedEnvironment cLocale{"LC_ALL", "C"};
    test::LoopThread loopThread;
    std::mutex mutex;
    json lastRequest;
    std::unique_ptr<ControlServer> server;
};

TEST_F(ToolTest, HelpAndUsageNeedNoAppAndCommandsSayItIsNotRunning) {
    const std::string notRunning = "orvel: Orvel Remote isn't running. Open it first.\n";
    expectRows({{{"tvs"}, {}, "", notRunning, 3},
                {{"watch"}, {}, "", notRunning, 3},
                {{}, {}, kHelp, "", 2},
                {{"--help"}, {}, kHelp, "", 0},
                {{"-h"}, {}, kHelp, "", 0},
                {{"type", "help", "me"}, {}, kHelp, "", 0},
                {{"-x", "tvs"}, {}, "", "orvel: Unknown option -x. Run orvel --help.\n", 2}},
               false);
}

// Which lines a reply becomes is ReplyFormat's to test; here: that the tool prints them, sends
// what it parsed, and turns failures into its sentences and status.
TEST_F(ToolTest, PrintsRepliesAndFailures) {
    const json failed = {{"ok", false}, {"error", "Nope."}};
    const std::string kitchen = "  Kitchen — Roku · not connected\n";
    expectRows({{{"tvs"}, {{"ok", true}, {"tvs", {kKitchen, kKitchen}}}, kitchen + kitchen, "", 0},
                {{"status"}, failed, "", "orvel: Nope.\n", 1},
                {{"status"}, json::object(), "", "orvel: That didn't work.\n", 1},
                {{"--json", "tvs"}, {{"tvs", 1}, {"ok", true}}, "{\"ok\":true,\"tvs\":1}\n", "", 0},
                {{"--json", "status"}, failed, failed.dump() + "\n", "", 1},
                {{"--json", "up"}, {{"ok", 1}}, "{\"ok\":1}\n", "", 1},
                {{"--tv", "kitchen", "up", "3"}, {{"ok", true}}, "", "", 0}},
               true);
    std::lock_guard lock(mutex);
    EXPECT_EQ(lastRequest,
              json({{"command", "press"}, {"action", "up"}, {"count", 3}, {"tv", "kitchen"}}));
}

TEST_F(ToolTest, WatchPrintsALinePerChangeUntilTheEnd) {
    const json playing = {{"ok", true},
                          {"tv", {{"name", "K"}, {"connected", true}, {"playing", true}}}};
    const json idle = {{"ok", true}, {"tv", {{"connected", true}}}};
    const json gone = {{"ok", false}, {"error", "Gone."}};
    const std::string playingLine = "@K: ▶\n", idleLine = "@TV: Nothing playing.\n";
    const std::string ended = "orvel: The watch ended.\n";
    const std::string both = playing.dump() + "\n" + gone.dump() + "\n";
    const struct {
        std::vector<json> lines;
        bool close, asJson;
        std::string out, err;
        int status;
    } cases[] = {
        {{playing, idle, json::object()}, false, false, playingLine + idleLine, ended, 1},
        {{playing, gone}, false, true, both, "orvel: Gone.\n", 1},
        {{idle}, true, false, idleLine, "orvel: Orvel Remote quit.\n", 3},
    };
    for (const auto& c : cases) {
        serve({{"ok", false}});
        server->setWatchHandler([&c](const json&, const std::shared_ptr<ControlStream>& stream) {
            for (const auto& line : c.lines) stream->send(line);
            if (c.close) stream->closeAfterSending();
        });
        const auto run = runTool(c.asJson ? std::vector<std::string>{"--json", "watch"}
                                          : std::vector<std::string>{"watch"});
        const std::regex time(R"((^|\n)\d\d:\d\d:\d\d  )");
        EXPECT_EQ(c.asJson ? run.out : std::regex_replace(run.out, time, "$1@"), c.out);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.status, c.status);
    }
}

// Bytes the real server never writes, from a bare socket: a reply that is not one object
// means no answer; in a watch, such a line is skipped.
TEST_F(ToolTest, LinesThatAreNotOneObject) {
    const std::string watchLines = "not json\n[1]\n{\"ok\":true,\"tv\":{}}\n{}\n";
    for (const std::string bytes :
         {"", "not json\n", "[true]\n", "{\"ok\":true}\n{\"ok\":true}\n", watchLines.c_str()}) {
        SCOPED_TRACE(bytes);
        const auto listener = ControlListener::open(home.socketPath());
        ASSERT_TRUE(listener) << listener.error();
        std::thread answer([fd = listener->fd(), &bytes] {
            if (SocketIo::waitFor(fd, POLLIN, -1, 10) != SocketIo::Wait::ready) return;
            UniqueFd client(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC));
            std::string request(4096, '\0');
            for (std::size_t got = 0; request.find('\n') >= got;) {
                const ssize_t n = ::recv(client.get(), request.data() + got, 4096 - got, 0);
                if (n <= 0) break;
                got += static_cast<std::size_t>(n);
            }
            ::send(client.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        });
        const bool watch = bytes == watchLines;
        const auto run = runTool(watch ? std::vector<std::string>{"--json", "watch"}
                                       : std::vector<std::string>{"tvs"});
        answer.join();
        EXPECT_EQ(run.out, watch ? "{\"ok\":true,\"tv\":{}}\n{}\n" : "");
        EXPECT_EQ(run.err, watch ? "orvel: The watch ended.\n" : kNoAnswer);
        EXPECT_EQ(run.status, 1);
    }
}

}  // namespace
}  // namespace orvel

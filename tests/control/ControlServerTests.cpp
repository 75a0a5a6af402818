#include "control/ControlServer.hpp"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "../support/ControlTestSupport.hpp"
#include "core/ControlMessage.hpp"

namespace orvel {
namespace {

using nlohmann::json;
using testing::Client;
using testing::LoopThread;
using testing::TempDataHome;
using testing::waitUntil;

const json kUnreadable = {{"ok", false}, {"error", "Orvel couldn't read that request."}};

json parsed(const std::string& line) {
    return ControlMessage::parseObject(line).value_or(json("not one object: " + line));
}

std::string watchRequest() {
    return "{\"command\":\"watch\"}\n";
}

class ControlServerTest : public ::testing::Test {
protected:
    // Answers {"ok": true, "echo": request} unless a test replaces it; runs on the loop thread.
    ControlServer::Handler handler = [](const json& request, ControlServer::Reply reply) {
        reply({{"ok", true}, {"echo", request}});
    };

    void start(ControlServer::Limits limits = {}) {
        server = std::make_unique<ControlServer>(
            loopThread.loop(), home.socketPath(),
            [this](const json& request, ControlServer::Reply reply) {
                handler(request, std::move(reply));
            },
            limits);
        const auto error = server->start();
        ASSERT_FALSE(error) << *error;
    }

    // Sends the bytes, ends the sending side and returns everything the server wrote.
    std::string exchange(const std::string& bytes) {
        Client client(home.socketPath());
        EXPECT_TRUE(client.connected());
        client.send(bytes);
        client.endSending();
        std::string reply = client.readAll();
        EXPECT_TRUE(client.ended()) << "the server kept the connection open";
        return reply;
    }

    // Streams handed to the watch handler, which greets each with one line.
    std::vector<std::shared_ptr<ControlStream>> streams() {
        std::lock_guard lock(streamsMutex);
        return streams_;
    }
    void acceptWatches() {
        server->setWatchHandler([this](const json&, std::shared_ptr<ControlStream> stream) {
            {
                // Before the greeting: a client that has it finds its stream here.
                std::lock_guard lock(streamsMutex);
                streams_.push_back(stream);
            }
            stream->send({{"ok", true}, {"tv", {{"name", "Living Room"}}}});
        });
    }

    TempDataHome home;
    LoopThread loopThread;
    std::mutex streamsMutex;
    std::vector<std::shared_ptr<ControlStream>> streams_;
    std::unique_ptr<ControlServer> server;
};

std::string paddedRequest(std::size_t bytesWithLineFeed, bool lineFeed) {
    const std::string head = "{\"command\":\"tvs\",\"pad\":\"";
    const std::string tail = "\"}";
    std::string line =
        head + std::string(bytesWithLineFeed - head.size() - tail.size() - 1, 'x') + tail;
    return lineFeed ? line + "\n" : line + " ";  // same length: a space where the feed would be
}

TEST_F(ControlServerTest, ReadsRequestsUpToTheLimit) {
    start();
    const struct {
        std::size_t bytes;
        bool lineFeed;
        bool readable;
    } cases[] = {
        {65536, true, true},   {65537, true, false},  {65536, false, true},
        {65537, false, false}, {200000, true, false},
    };
    for (const auto& c : cases) {
        const json reply = parsed(exchange(paddedRequest(c.bytes, c.lineFeed)));
        if (c.readable) {
            EXPECT_EQ(reply.value("ok", false), true) << c.bytes << " " << c.lineFeed;
            EXPECT_EQ(reply["echo"]["command"], "tvs");
        } else {
            EXPECT_EQ(reply, kUnreadable) << c.bytes << " " << c.lineFeed;
        }
    }
}

TEST_F(ControlServerTest, AnswersWhatIsNotOneObjectWithTheUnreadableReply) {
    start();
    for (const std::string bytes :
         {"", "\n", "[1]\n", "\"tvs\"\n", "{\"command\":\n", "nope\n", "{} {}\n", "\xff\n"}) {
        EXPECT_EQ(exchange(bytes), kUnreadable.dump() + "\n") << bytes;
    }
}

TEST_F(ControlServerTest, ReadsTheFirstLineOnlyAndALastLineWithoutFeed) {
    start();
    const struct {
        std::string bytes;
        std::string command;
    } cases[] = {
        {"{\"command\":\"status\"}", "status"},
        {"{\"command\":\"first\"}\n{\"command\":\"second\"}\n", "first"},
        {"{\"command\":\"first\"}\ngarbage without end", "first"},
    };
    for (const auto& c : cases) {
        const std::string reply = exchange(c.bytes);
        EXPECT_EQ(parsed(reply)["echo"], json({{"command", c.command}})) << c.bytes;
        EXPECT_EQ(std::count(reply.begin(), reply.end(), '\n'), 1);
    }
}

TEST_F(ControlServerTest, SilentClientGetsTheUnreadableReplyAfterTheReceiveTimeOut) {
    start({.receiveTimeout = 0.2});
    Client client(home.socketPath());
    EXPECT_EQ(client.readAll(), kUnreadable.dump() + "\n");
    EXPECT_TRUE(client.ended());
}

TEST_F(ControlServerTest, OnlyTheFirstOfTwoRepliesIsWritten) {
    handler = [](const json&, ControlServer::Reply reply) {
        reply({{"ok", true}, {"n", 1}});
        reply({{"ok", true}, {"n", 2}});
    };
    start();
    EXPECT_EQ(exchange("{\"command\":\"tvs\"}\n"), "{\"n\":1,\"ok\":true}\n");
}

TEST_F(ControlServerTest, SilentHandlerGetsTheTimeOutReplyAndALateReplyIsDropped) {
    std::mutex mutex;
    ControlServer::Reply late;
    handler = [&](const json&, ControlServer::Reply reply) {
        std::lock_guard lock(mutex);
        late = std::move(reply);
    };
    start({.answerTimeout = 0.3});
    Client client(home.socketPath());
    client.send("{\"command\":\"status\"}\n");
    EXPECT_EQ(client.readLine(), "{\"error\":\"The TV didn't answer in time.\",\"ok\":false}\n");
    {
        std::lock_guard lock(mutex);
        ASSERT_TRUE(late);
        late({{"ok", true}});
    }
    EXPECT_EQ(client.readAll(), "");
    EXPECT_TRUE(client.ended());
}

TEST_F(ControlServerTest, UnserialisableReplyClosesWithoutALine) {
    handler = [](const json&, ControlServer::Reply reply) {
        reply({{"ok", true}, {"name", "\xff"}});
    };
    start();
    EXPECT_EQ(exchange("{\"command\":\"tvs\"}\n"), "");
}

TEST_F(ControlServerTest, LargeReplyArrivesWhole) {
    const std::string blob(1 << 20, 'x');
    handler = [&](const json&, ControlServer::Reply reply) {
        reply({{"ok", true}, {"blob", blob}});
    };
    start();
    Client client(home.socketPath());
    client.send("{\"command\":\"tvs\"}\n");
    client.endSending();
    // Far more than the socket buffers hold: the server must wait for room many times.
    EXPECT_EQ(client.readAll(10), json({{"ok", true}, {"blob", blob}}).dump() + "\n");
}

TEST_F(ControlServerTest, WatchWithoutWatchHandlerIsAnOrdinaryRequest) {
    start();
    EXPECT_EQ(parsed(exchange(watchRequest()))["echo"], json({{"command", "watch"}}));
}

TEST_F(ControlServerTest, SeventeenthWatchIsRefusedUntilOneEnds) {
    start();
    acceptWatches();
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 16; ++i) {
        clients.push_back(std::make_unique<Client>(home.socketPath()));
        clients.back()->send(watchRequest());
        ASSERT_EQ(parsed(clients.back()->readLine())["ok"], true) << i;
    }
    Client refused(home.socketPath());
    refused.send(watchRequest());
    EXPECT_EQ(refused.readAll(),
              "{\"error\":\"Too many orvel watch sessions are open.\",\"ok\":false}\n");
    EXPECT_EQ(server->watchCount(), 16u);

    clients.front()->close();
    ASSERT_TRUE(waitUntil([&] { return server->watchCount() == 15; }));
    Client again(home.socketPath());
    again.send(watchRequest());
    EXPECT_EQ(parsed(again.readLine())["ok"], true);
    // The others kept going all along.
    streams().back()->send({{"ok", true}, {"n", 2}});
    EXPECT_EQ(again.readLine(), "{\"n\":2,\"ok\":true}\n");
}

TEST_F(ControlServerTest, StreamClosedByTheAppEndsTheConnectionAtOnce) {
    start({.receiveTimeout = 60});  // noticed through the shutdown, not the time-out
    acceptWatches();
    for (const bool afterSending : {true, false}) {
        Client client(home.socketPath());
        client.send(watchRequest());
        ASSERT_EQ(parsed(client.readLine())["ok"], true);
        auto stream = streams().back();
        if (afterSending) {
            stream->send({{"ok", false}, {"error", "last words"}});
            stream->closeAfterSending();
        } else {
            stream->close();
        }
        stream->send({{"ok", true}, {"n", 2}});
        EXPECT_EQ(client.readAll(),
                  afterSending ? "{\"error\":\"last words\",\"ok\":false}\n" : "");
        EXPECT_TRUE(client.ended());
        EXPECT_TRUE(waitUntil([&] { return server->watchCount() == 0; }));
    }
}

TEST_F(ControlServerTest, ClientLeavingClosesTheStream) {
    start();
    acceptWatches();
    Client client(home.socketPath());
    client.send(watchRequest());
    ASSERT_EQ(parsed(client.readLine())["ok"], true);
    client.close();
    EXPECT_TRUE(waitUntil([&] { return server->watchCount() == 0; }));
    EXPECT_TRUE(streams().front()->isClosed());
}

TEST_F(ControlServerTest, StopRemovesTheSocketAndASecondStopDoesNothing) {
    start();
    server->stop();
    EXPECT_FALSE(server->isListening());
    EXPECT_FALSE(std::filesystem::exists(home.socketPath()));
    EXPECT_FALSE(Client(home.socketPath()).connected());
    server->stop();
    EXPECT_FALSE(server->start()) << "starts again after a stop";
    EXPECT_TRUE(Client(home.socketPath()).connected());
}

TEST_F(ControlServerTest, DestructionDropsOpenConnectionsWithoutWritingAndJoins) {
    handler = [](const json&, ControlServer::Reply) {};  // never answers
    start();
    acceptWatches();
    Client watcher(home.socketPath());
    watcher.send(watchRequest());
    ASSERT_EQ(parsed(watcher.readLine())["ok"], true);
    Client waiting(home.socketPath());
    waiting.send("{\"command\":\"status\"}\n");
    Client silent(home.socketPath());
    // The request reaches the handler before the server goes.
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard lock(streamsMutex);
        return !streams_.empty();
    }));
    const auto before = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(4));
    for (Client* client : {&watcher, &waiting, &silent}) {
        EXPECT_EQ(client->readAll(), "");
        EXPECT_TRUE(client->ended());
    }
    EXPECT_FALSE(std::filesystem::exists(home.socketPath()));
}

TEST_F(ControlServerTest, StartReportsAPathThatCannotWork) {
    server = std::make_unique<ControlServer>(
        loopThread.loop(), home.root() + "/" + std::string(120, 'p') + "/control.sock", handler);
    const auto error = server->start();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("too long"), std::string::npos) << *error;
}

// Another user on the same machine may reach a socket whose folder someone opened up; the
// server must still refuse to talk to it.
TEST_F(ControlServerTest, PeerOfAnotherUserIsDisconnectedWithoutReply) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as the user nobody";
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) GTEST_SKIP() << "no user nobody on this system";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    std::atomic<bool> answered = false;
    handler = [&](const json&, ControlServer::Reply reply) {
        answered = true;
        reply({{"ok", true}});
    };
    start();
    ASSERT_EQ(::chmod(home.root().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(home.folder().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(home.socketPath().c_str(), 0666), 0);

    const std::string path = home.socketPath();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(10);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size());
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ::_exit(11);
        const timeval timeout{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        const char request[] = "{\"command\":\"tvs\"}\n";
        ::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
        char byte;
        const ssize_t got = ::recv(fd, &byte, 1, 0);
        ::_exit(got == 0 || (got < 0 && errno == ECONNRESET) ? 0 : got > 0 ? 12 : 13);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: could not become nobody, 11: could not connect, "
                                         "12: got a reply, 13: no end within 5 s";
    EXPECT_FALSE(answered);
    // Our own user is still served.
    EXPECT_EQ(parsed(exchange("{\"command\":\"tvs\"}\n"))["ok"], true);
}

}  // namespace
}  // namespace orvel

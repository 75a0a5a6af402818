#include "control/ControlServer.hpp"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "../support/ControlClient.hpp"
#include "../support/LoopThread.hpp"
#include "../support/TempDataHome.hpp"
#include "../support/Waiting.hpp"
#include "control/ControlRequestReader.hpp"
#include "control/ControlStream.hpp"

namespace orvel {
namespace {

using nlohmann::json;
using test::Client;
using test::eventually;
using test::LoopThread;
using test::TempDataHome;

const std::string kUnreadable = "{\"error\":\"Orvel couldn't read that request.\",\"ok\":false}\n";
const std::string kWatch = "{\"command\":\"watch\"}\n";

// The fixture's default reply to `command`.
std::string answered(const std::string& command) {
    return json({{"ok", true}, {"command", command}}).dump() + "\n";
}

// Far more than the socket buffers hold: the server must wait for room many times.
const json kBig = {{"ok", true}, {"blob", std::string(1 << 20, 'x')}};

class ControlServerTest : public ::testing::Test {
protected:
    // Runs on the loop thread; a test that replaces it does so before start(). Only the first
    // reply counts, and one that cannot be written goes whole or not at all.
    ControlServer::Handler handler = [](const json& request, const ControlServer::Reply& reply) {
        const json& command = request["command"];
        reply(command == "big"   ? kBig
              : command == "bad" ? json{{"name", "\xff"}}
                                 : json{{"ok", true}, {"command", command}});
        reply({{"n", 2}});
    };

    // With `watches`, the server keeps each watch stream, then greets it (the server goes first).
    void start(ControlServer::Limits limits = {}, bool watches = false) {
        server =
            std::make_unique<ControlServer>(loopThread.loop(), home.socketPath(), handler, limits);
        const auto error = server->start();
        ASSERT_FALSE(error) << *error;
        if (!watches) return;
        server->setWatchHandler([this](const json&, const std::shared_ptr<ControlStream>& stream) {
            std::unique_lock lock(streamsMutex);
            streams_.push_back(stream);
            lock.unlock();
            stream->send({{"ok", true}});
        });
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

    std::shared_ptr<ControlStream> lastStream() {
        std::lock_guard lock(streamsMutex);
        return streams_.empty() ? nullptr : streams_.back();
    }
    // A watch the server took and greeted, asking again while its slots are full.
    std::unique_ptr<Client> openWatch() {
        std::unique_ptr<Client> client;
        const bool taken = eventually([&] {
            client = std::make_unique<Client>(home.socketPath());
            client->send(kWatch);
            return client->readLine() == "{\"ok\":true}\n";
        });
        return taken ? std::move(client) : nullptr;
    }

    TempDataHome home;
    LoopThread loopThread;
    std::mutex streamsMutex;
    std::vector<std::shared_ptr<ControlStream>> streams_;
    std::unique_ptr<ControlServer> server;
};

std::string paddedRequest(std::size_t bytesWithLineFeed) {
    const std::string head = "{\"command\":\"tvs\",\"pad\":\"";
    const std::string tail = "\"}\n";
    return head + std::string(bytesWithLineFeed - head.size() - tail.size(), 'x') + tail;
}

TEST_F(ControlServerTest, AnswersTheFirstLineWithinTheLimitOrSaysItIsUnreadable) {
    start();
    const std::pair<std::string, std::string> cases[] = {
        {paddedRequest(65536), answered("tvs")},
        {paddedRequest(65537), kUnreadable},
        {"{\"command\":\"status\"}", answered("status")},
        {kWatch, answered("watch")},  // without a watch handler, an ordinary request
        {"{\"command\":\"bad\"}\n", ""},
        {"{\"command\":\"big\"}\n", kBig.dump() + "\n"},
    };
    for (const auto& [bytes, reply] : cases) EXPECT_EQ(exchange(bytes), reply) << bytes.size();
}

TEST_F(ControlServerTest, SilentClientsAndSilentHandlersGetTheirTimeOutReplies) {
    std::promise<ControlServer::Reply> held;
    auto late = held.get_future();
    handler = [&](const json&, const ControlServer::Reply& reply) { held.set_value(reply); };
    start({.requestTimeout = 0.2, .answerTimeout = 0.3});
    Client silent(home.socketPath());
    EXPECT_EQ(silent.readAll(), kUnreadable);
    EXPECT_TRUE(silent.ended());

    Client client(home.socketPath());
    client.send("{\"command\":\"status\"}\n");
    EXPECT_EQ(client.readLine(), "{\"error\":\"The TV didn't answer in time.\",\"ok\":false}\n");
    ASSERT_EQ(late.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    late.get()({{"ok", true}});
    EXPECT_EQ(client.readAll(), "");
    EXPECT_TRUE(client.ended());
}

TEST_F(ControlServerTest, AReplyItsClientDoesNotReadDelaysNobody) {
    test::Counter bigAnswered;
    handler = [&, answer = handler](const json& request, const ControlServer::Reply& reply) {
        answer(request, reply);
        if (request["command"] == "big") bigAnswered.add();
    };
    start();
    Client stuck(home.socketPath());
    stuck.send("{\"command\":\"big\"}\n");
    ASSERT_TRUE(bigAnswered.waitFor(1));
    EXPECT_EQ(exchange("{\"command\":\"status\"}\n"), answered("status"));
}

TEST_F(ControlServerTest, SeventeenthWatchIsRefusedAndTheOthersGoOn) {
    start({}, true);
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 16; ++i) ASSERT_TRUE(clients.emplace_back(openWatch())) << i;
    Client refused(home.socketPath());
    refused.send(kWatch);
    EXPECT_EQ(refused.readAll(),
              "{\"error\":\"Too many orvel watch sessions are open.\",\"ok\":false}\n");
    lastStream()->send({{"ok", true}, {"n", 2}});
    EXPECT_EQ(clients.back()->readLine(), "{\"n\":2,\"ok\":true}\n");
}

TEST_F(ControlServerTest, AWatchEndsAtOnceWhenEitherSideCloses) {
    // Each case waits for the one slot, freed at the end.
    start({.watchLimit = 1}, true);
    enum { afterSending, appCloses, clientLeaves, last };
    for (const auto how : {afterSending, appCloses, clientLeaves, last}) {
        SCOPED_TRACE(how);
        auto opened = openWatch();
        ASSERT_TRUE(opened) << "the previous watch still holds the slot";
        if (how == last) break;
        Client& client = *opened;
        auto stream = lastStream();
        if (how == clientLeaves) {
            client.close();
            EXPECT_TRUE(eventually([&] { return stream->isClosed(); }));
            continue;
        }
        if (how == afterSending) {
            stream->send({{"ok", false}, {"error", "last words"}});
            stream->closeAfterSending();
        } else {
            stream->close();
        }
        stream->send({{"ok", true}, {"n", 2}});
        EXPECT_EQ(client.readAll(),
                  how == afterSending ? "{\"error\":\"last words\",\"ok\":false}\n" : "");
        EXPECT_TRUE(client.ended());
    }
}

// Which path it may take is ControlListener's to test.
TEST_F(ControlServerTest, StopRemovesTheSocketAndTheServerStartsAgain) {
    start();
    server->stop();
    EXPECT_FALSE(std::filesystem::exists(home.socketPath()));
    EXPECT_FALSE(Client(home.socketPath()).connected());
    server->stop();
    EXPECT_FALSE(server->start()) << "starts again after a stop";
    EXPECT_TRUE(Client(home.socketPath()).connected());
}

TEST_F(ControlServerTest, DestructionDropsOpenConnectionsWithoutWritingAndJoins) {
    handler = [](const json&, const ControlServer::Reply&) {};  // never answers
    start({}, true);
    auto watcher = openWatch();
    ASSERT_TRUE(watcher);
    Client waiting(home.socketPath());
    waiting.send("{\"command\":\"status\"}\n");
    Client silent(home.socketPath());
    // The request reaches the handler before the server goes.
    ASSERT_TRUE(eventually([&] { return lastStream() != nullptr; }));
    const auto before = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(4));
    for (Client* client : {watcher.get(), &waiting, &silent}) {
        EXPECT_EQ(client->readAll(), "");
        EXPECT_TRUE(client->ended());
    }
    EXPECT_FALSE(std::filesystem::exists(home.socketPath()));
}

// A socket whose folder someone opened up still serves its own user only.
TEST_F(ControlServerTest, PeerOfAnotherUserIsDisconnectedWithoutReply) {
    const passwd* nobody = ::getpwnam("nobody");  // NOLINT(concurrency-mt-unsafe): one reader
    if (::geteuid() != 0 || !nobody) GTEST_SKIP() << "needs root and the user nobody";
    std::atomic<bool> served = false;
    handler = [&](const json&, const ControlServer::Reply& reply) {
        served = true;
        reply({{"ok", true}});
    };
    start();
    for (const std::string& path : {home.root(), home.folder()}) ::chmod(path.c_str(), 0755);
    ASSERT_EQ(::chmod(home.socketPath().c_str(), 0666), 0);
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    home.socketPath().copy(address.sun_path, sizeof address.sun_path - 1);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        if (::setgroups(0, nullptr) || ::setgid(nobody->pw_gid) || ::setuid(nobody->pw_uid))
            ::_exit(10);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address)) ::_exit(11);
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
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0)
        << "10: not nobody, 11: no connection, 12: a reply, 13: no end within 5 s";
    EXPECT_FALSE(served);
    EXPECT_EQ(exchange("{\"command\":\"tvs\"}\n"), "{\"ok\":true}\n") << "our own user is served";
}

// Feeds the pieces as separate reads, stopping as a server does once nothing more is wanted.
std::optional<json> readRequest(const std::vector<std::string>& pieces, std::size_t limit,
                                std::size_t& fed) {
    ControlRequestReader reader(limit);
    fed = 0;
    for (const std::string& piece : pieces) {
        const std::size_t room = reader.wanted();
        if (room == 0) break;
        const std::string taken = piece.substr(0, room);
        fed += taken.size();
        reader.append(taken);
    }
    return reader.request();
}

TEST(ControlRequestReader, TakesTheFirstLineWithinTheLimitAndNoMore) {
    const struct {
        std::vector<std::string> pieces;
        std::size_t limit;
        std::optional<json> request;
        std::size_t fed;  // bytes taken from the client before it stopped reading
    } cases[] = {
        {{"{\"a\":1}\n"}, 8, json{{"a", 1}}, 8},                       // exactly the limit
        {{"{\"a\":12}\n"}, 8, std::nullopt, 9},                        // one byte more
        {{"{\"a\":1}"}, 7, json{{"a", 1}}, 7},                         // no line feed, ended
        {{"{\"a\":", "1}", "\n{\"b\":2}\n"}, 64, json{{"a", 1}}, 16},  // feed in a later read
        {{"{}\n", "more"}, 64, json::object(), 3},                     // stops at the feed
        {{"{\"a\":1", "23456789"}, 8, std::nullopt, 9},                // never reads past limit + 1
        {{""}, 8, std::nullopt, 0},                                    // nothing at all
        {{"[]\n"}, 8, std::nullopt, 3},
    };
    for (const auto& c : cases) {
        std::size_t fed = 0;
        EXPECT_EQ(readRequest(c.pieces, c.limit, fed), c.request) << c.pieces.front();
        EXPECT_EQ(fed, c.fed) << c.pieces.front();
    }
}

// Threads of this process named `name`.
int threadsNamed(const std::string& name) {
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string text;
        if (std::getline(comm, text) && text == name) ++count;
    }
    return count;
}

// The app may hold a finished stream until the watched TV next changes; its thread may not.
TEST(ControlStream, FinishWritesWhatIsQueuedEndsItsThreadAndLaterSendsDoNothing) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    Client client{UniqueFd(pair[0])};
    const int before = threadsNamed("orvel.watch");
    ControlStream stream{UniqueFd(pair[1])};
    stream.send({{"ok", true}});
    EXPECT_EQ(client.readLine(), "{\"ok\":true}\n");
    EXPECT_EQ(threadsNamed("orvel.watch"), before + 1) << "named before it wrote";
    stream.finish();
    // A joined thread can stay listed for a moment after the join returns.
    EXPECT_TRUE(eventually([&] { return threadsNamed("orvel.watch") == before; }));
    EXPECT_TRUE(stream.isClosed());
    stream.send({{"ok", false}});
    stream.closeAfterSending();
    EXPECT_EQ(client.readAll(), "");
    EXPECT_TRUE(client.ended()) << "the client sees the end";
}

}  // namespace
}  // namespace orvel

#include "bridge/appletv/CompanionSocket.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../../support/LoopThread.hpp"
#include "../Loopback.hpp"

namespace orvel {
namespace {

// A listening socket on loopback that the test accepts from and talks through by hand.
class CompanionSocketTest : public ::testing::Test {
protected:
    CompanionSocketTest() { EXPECT_EQ(::listen(listener.get(), 4), 0); }

    std::unique_ptr<CompanionSocket> open(int to, const std::string& ip = "127.0.0.1") {
        return std::make_unique<CompanionSocket>(
            loop, ip, to, 2.0,
            CompanionSocket::Hooks{.received =
                                       [this](std::span<const std::uint8_t> bytes) {
                                           received.append(bytes.begin(), bytes.end());
                                           if (dropOnReceive) socket.reset();
                                           loop.quit();
                                       },
                                   .closed =
                                       [this](const std::string& reason) {
                                           closes.push_back(reason);
                                           loop.quit();
                                       }});
    }

    PollLoop loop;
    sockaddr_in bound{};
    UniqueFd listener = test::boundToLoopback(SOCK_STREAM, bound);
    int port = ntohs(bound.sin_port);
    std::unique_ptr<CompanionSocket> socket;
    bool dropOnReceive = false;
    std::string received;
    std::vector<std::string> closes;
};

// Bytes both ways and the peer's close are every connection test's (they run over this socket).

TEST_F(CompanionSocketTest, TheOwnerMayDestroyItFromInsideItsHook) {
    socket = open(port);
    UniqueFd peer(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    ASSERT_TRUE(peer);
    dropOnReceive = true;
    ASSERT_EQ(::send(peer.get(), "one", 3, MSG_NOSIGNAL), 3);
    ASSERT_TRUE(test::runGuarded(loop, 5.0));
    EXPECT_FALSE(socket);
    // The peer's close now reaches nobody.
    peer.reset();
    EXPECT_FALSE(test::runGuarded(loop, 0.05));
    EXPECT_TRUE(closes.empty());
}

TEST_F(CompanionSocketTest, WhatCannotConnectEndsFromTheLoopWithASentence) {
    const int unused = port;
    listener.reset();  // nobody listens there any more
    struct Row {
        std::string ip;
        int port;
        std::string starts;
    };
    const std::vector<Row> rows = {
        {"127.0.0.1", unused, "Could not connect to 127.0.0.1:" + std::to_string(unused) + ": "},
        {"tv.local", 49153, "tv.local:49153 is not an IPv4 address and port."},
        {"127.0.0.1", 70000, "127.0.0.1:70000 is not an IPv4 address and port."},
    };
    for (const Row& row : rows) {
        closes.clear();
        socket = open(row.port, row.ip);
        EXPECT_TRUE(closes.empty()) << "reported inside the constructor: " << row.ip;
        ASSERT_TRUE(test::runGuarded(loop, 5.0)) << row.ip;
        ASSERT_EQ(closes.size(), 1U) << row.ip;
        EXPECT_EQ(closes[0].rfind(row.starts, 0), 0U) << closes[0];
    }
}

}  // namespace
}  // namespace orvel

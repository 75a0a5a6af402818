#pragma once
// A socket bound to a port of the system's choosing on 127.0.0.1, for tests that stand in for
// the network.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include "platform/UniqueFd.hpp"

namespace orvel::test {

// `type`: SOCK_STREAM or SOCK_DGRAM, with any flags; `address` gets where it is bound.
inline UniqueFd boundToLoopback(int type, sockaddr_in& address) {
    UniqueFd socket(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    EXPECT_TRUE(::bind(socket.get(), raw, size) == 0 &&
                ::getsockname(socket.get(), raw, &size) == 0)
        << "no loopback socket";
    return socket;
}

}  // namespace orvel::test

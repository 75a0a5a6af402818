#include "bridge/roku/WakeOnLan.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace orvel {
namespace {

std::uint32_t ip(const char* text) {
    in_addr address{};
    EXPECT_EQ(::inet_pton(AF_INET, text, &address), 1) << text;
    return ntohl(address.s_addr);
}

TEST(WakeOnLan, MacTexts) {
    using Mac = WakeOnLan::Mac;
    const std::pair<const char*, std::optional<Mac>> rows[] = {
        {"d4:e2:2f:5a:1c:9B", Mac{0xd4, 0xe2, 0x2f, 0x5a, 0x1c, 0x9b}},
        {" 00-01-02-03-04-ff\n", Mac{0, 1, 2, 3, 4, 0xff}},
        {"", std::nullopt},
        {"d4:e2:2f:5a:1c", std::nullopt},
        {"d4:e2:2f:5a:1c:9b:00", std::nullopt},
        {"d4e2:2f:5a:1c:9b:0", std::nullopt},
        {"d4.e2.2f.5a.1c.9b", std::nullopt},
        {"g4:e2:2f:5a:1c:9b", std::nullopt},
        {"+4:e2:2f:5a:1c:9b", std::nullopt},
        {"d4:e2:2f:5a:1c: b", std::nullopt},
    };
    for (const auto& [text, mac] : rows) EXPECT_EQ(WakeOnLan::parseMac(text), mac) << text;
}

TEST(WakeOnLan, ThePacketGoesToTheBroadcastOfTheNetworkThatHoldsTheTV) {
    const WakeOnLan::Network networks[] = {
        {ip("127.0.0.1"), ip("255.0.0.0")},
        {ip("10.1.2.3"), ip("255.255.0.0")},
        {ip("192.168.1.7"), ip("255.255.255.0")},
        {ip("172.16.0.1"), 0},  // no mask: no network to speak of
    };
    const std::pair<const char*, const char*> rows[] = {
        {"192.168.1.20", "192.168.1.255"},
        {"10.1.200.9", "10.1.255.255"},
        {"192.168.2.20", "255.255.255.255"},  // no network holds it
        {"172.16.0.9", "255.255.255.255"},
        {"127.0.0.1", "127.0.0.1"},  // loopback: never beyond it
        {"127.9.9.9", "127.9.9.9"},
    };
    for (const auto& [tv, destination] : rows)
        EXPECT_EQ(WakeOnLan::broadcastFor(ip(tv), networks), ip(destination)) << tv;
    EXPECT_EQ(WakeOnLan::broadcastFor(ip("192.168.1.20"), {}), ip("255.255.255.255"));
}

TEST(WakeOnLan, DestinationTexts) {
    const auto fine = WakeOnLan::parseDestination(" 127.0.0.1:9009 ");
    ASSERT_TRUE(fine);
    EXPECT_EQ(ntohl(fine->sin_addr.s_addr), ip("127.0.0.1"));
    EXPECT_EQ(ntohs(fine->sin_port), 9009);
    for (const char* bad : {"", "127.0.0.1", "127.0.0.1:0", "127.0.0.1:70000", "[::1]:9",
                            "localhost:9", "127.0.0.1:9x"})
        EXPECT_FALSE(WakeOnLan::parseDestination(bad)) << bad;
}

}  // namespace
}  // namespace orvel

#include "bridge/RokuDiscovery.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <array>

#include "platform/ManualLoop.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {
namespace {

using Hosts = std::vector<std::string>;

TEST(RokuDiscovery, HostsSettingGivesAddressesWithPortsOrNamesTheBadEntry) {
    const std::vector<std::pair<std::string_view, Hosts>> good = {
        {"", {}},
        {" , ,", {}},
        {"192.0.2.7", {"192.0.2.7:8060"}},
        {" 192.0.2.7:9000 ,192.0.2.8", {"192.0.2.7:9000", "192.0.2.8:8060"}},
        {"192.0.2.7,192.0.2.7:8060, 192.0.2.7", {"192.0.2.7:8060"}},
        {"[::1]", {"[::1]:8060"}},
        {"[0:0::1]:8061,[::1]:8061", {"[::1]:8061"}},
    };
    for (const auto& [setting, hosts] : good) {
        auto parsed = parseRokuHosts(setting);
        ASSERT_TRUE(std::holds_alternative<Hosts>(parsed))
            << setting << ": " << std::get<std::string>(parsed);
        EXPECT_EQ(std::get<Hosts>(parsed), hosts) << setting;
    }

    const std::string notIP = "\", which is not an IP address.";
    const std::string badPort = "\", whose port is not a number from 1 to 65535.";
    const std::vector<std::pair<std::string_view, std::string>> bad = {
        {"tv.local", "tv.local" + notIP},
        {"192.0.2.7, tv.local:8060", "tv.local:8060" + notIP},
        {"192.0.2.256", "192.0.2.256" + notIP},
        {"[::1", "[::1" + notIP},
        {"[::1]x", "[::1]x" + notIP},
        {"192.0.2.7:99999", "192.0.2.7:99999" + badPort},
        {"192.0.2.7:0", "192.0.2.7:0" + badPort},
        {"192.0.2.7:", "192.0.2.7:" + badPort},
        {"[::1]:+80", "[::1]:+80" + badPort},
        {"fe80::1", "fe80::1\", an IPv6 address without brackets; write it as \"[fe80::1]\"."},
    };
    for (const auto& [setting, error] : bad) {
        auto parsed = parseRokuHosts(setting);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << setting;
        EXPECT_EQ(std::get<std::string>(parsed), "ORVEL_ROKU_HOSTS lists \"" + error) << setting;
    }
}

TEST(RokuDiscovery, SsdpAnswersGiveTheirLocation) {
    const std::string roku = "HTTP/1.1 200 OK\r\nST: roku:ecp\r\n";
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        // As a Roku sends it.
        {"HTTP/1.1 200 OK\r\nCache-Control: max-age=3600\r\nST: roku:ecp\r\n"
         "USN: uuid:roku:ecp:X01900ABCDEF\r\nExt: \r\nServer: Roku/12.5.0 UPnP/1.0 Roku/12.5.0\r\n"
         "LOCATION: http://192.168.1.134:8060/\r\ndevice-group.roku.com: 0A1B2C3D\r\n\r\n",
         "192.168.1.134:8060"},
        {"HTTP/1.1 200 OK\nst: roku:ecp\nlocation: http://10.0.0.5:8060\n", "10.0.0.5:8060"},
        {"HTTP/1.1 200 OK\r\nLocation:HTTP://10.0.0.5/desc.xml\r\nNt: roku:ecp\r\n\r\n",
         "10.0.0.5:80"},
        {roku + "LOCATION: http://[fe80::1]:8060/\r\n\r\n", "[fe80::1]:8060"},
        // Not a Roku, not an answer, or no place to reach it.
        {"HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\nLOCATION: http://10.0.0.9:1400/\r\n\r\n",
         std::nullopt},
        {"HTTP/1.1 404 Not Found\r\nST: roku:ecp\r\nLOCATION: http://10.0.0.5:8060/\r\n\r\n",
         std::nullopt},
        {"M-SEARCH * HTTP/1.1\r\nST: roku:ecp\r\nLOCATION: http://10.0.0.5:8060/\r\n\r\n",
         std::nullopt},
        {roku + "\r\n", std::nullopt},
        {roku + "LOCATION: http://roku.local:8060/\r\n\r\n", std::nullopt},
        {roku + "LOCATION: http://10.0.0.5:70000/\r\n\r\n", std::nullopt},
        {roku + "LOCATION: ftp://10.0.0.5:8060/\r\n\r\n", std::nullopt},
        {"HTTP/1.1 200 OK\r\n\r\nST: roku:ecp\r\nLOCATION: http://10.0.0.5:8060/\r\n",
         std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [datagram, location] : cases) {
        EXPECT_EQ(readSsdpRokuLocation(datagram), location) << datagram;
    }
}

TEST(RokuDiscovery, FixedHostsCompleteLaterAndNotOnceCancelled) {
    ManualLoop loop;
    FixedRokuHosts hosts(loop, {"192.0.2.7:8060"});
    std::optional<Hosts> got;
    auto pending = hosts.search([&](Hosts found) { got = std::move(found); });
    EXPECT_FALSE(got);
    loop.runUntilIdle();
    EXPECT_EQ(got, Hosts{"192.0.2.7:8060"});

    got.reset();
    auto cancelled = hosts.search([&](Hosts found) { got = std::move(found); });
    cancelled.cancel();
    loop.runUntilIdle();
    EXPECT_FALSE(got);
}

// A UDP socket bound to a free loopback port, which `address` receives; none on failure.
UniqueFd loopbackUdp(sockaddr_in& address) {
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return UniqueFd();
    }
    return fd;
}

// A responder on loopback stands in for the network: it checks the search it receives and
// answers twice for the same device, once for another kind of device and once for a device
// somewhere other than where the answer came from.
TEST(RokuDiscovery, SsdpSearchOnLoopbackCollectsAnswersOnce) {
    sockaddr_in address{};
    UniqueFd responder = loopbackUdp(address);
    ASSERT_TRUE(responder);

    PollLoop loop;
    std::string searchReceived;
    int searches = 0;
    auto watch = loop.watchReadable(responder.get(), [&] {
        std::array<char, 2048> buffer{};
        sockaddr_in sender{};
        socklen_t senderLength = sizeof sender;
        const auto n = ::recvfrom(responder.get(), buffer.data(), buffer.size(), 0,
                                  reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (n <= 0) return;
        searchReceived.assign(buffer.data(), std::size_t(n));
        ++searches;
        const std::string roku =
            "HTTP/1.1 200 OK\r\nST: roku:ecp\r\nLOCATION: http://127.0.0.1:8060/\r\n\r\n";
        const std::string other =
            "HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\nLOCATION: http://127.0.0.1:1400/\r\n\r\n";
        const std::string elsewhere =
            "HTTP/1.1 200 OK\r\nST: roku:ecp\r\nLOCATION: http://127.0.0.2:8060/\r\n\r\n";
        for (const auto* answer : {&roku, &other, &elsewhere, &roku}) {
            ::sendto(responder.get(), answer->data(), answer->size(), 0,
                     reinterpret_cast<sockaddr*>(&sender), senderLength);
        }
    });

    SsdpRokuDiscovery discovery(
        loop, {.targetHost = "127.0.0.1", .targetPort = ntohs(address.sin_port), .window = 0.3});
    std::optional<Hosts> got;
    auto pending = discovery.search([&](Hosts found) {
        got = std::move(found);
        loop.quit();
    });
    auto guard = loop.postAfter(10.0, [&] { loop.quit(); });
    loop.run();

    EXPECT_EQ(searchReceived,
              "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n"
              "ST: roku:ecp\r\nMX: 2\r\n\r\n");
    EXPECT_EQ(searches, 2);  // once more in case the first was lost
    ASSERT_TRUE(got) << "the search did not complete";
    EXPECT_EQ(*got, Hosts{"127.0.0.1:8060"});
}

TEST(RokuDiscovery, ACancelledSsdpSearchSendsNothingMore) {
    sockaddr_in address{};
    UniqueFd listener = loopbackUdp(address);
    ASSERT_TRUE(listener);

    PollLoop loop;
    int searches = 0;
    auto watch = loop.watchReadable(listener.get(), [&] {
        std::array<char, 2048> buffer{};
        while (::recv(listener.get(), buffer.data(), buffer.size(), 0) > 0) ++searches;
    });
    SsdpRokuDiscovery discovery(
        loop, {.targetHost = "127.0.0.1", .targetPort = ntohs(address.sin_port), .window = 0.2});
    bool completed = false;
    discovery.search([&](Hosts) { completed = true; }).cancel();
    auto end = loop.postAfter(0.3, [&] { loop.quit(); });  // past the window
    loop.run();
    EXPECT_EQ(searches, 1);
    EXPECT_FALSE(completed);
}

TEST(RokuDiscovery, SsdpSearchToAnUnusableTargetCompletesEmpty) {
    PollLoop loop;
    SsdpRokuDiscovery discovery(loop, {.targetHost = "not-an-address", .targetPort = 1900});
    std::optional<Hosts> got;
    auto pending = discovery.search([&](Hosts found) {
        got = std::move(found);
        loop.quit();
    });
    EXPECT_FALSE(got);
    auto guard = loop.postAfter(10.0, [&] { loop.quit(); });
    loop.run();
    ASSERT_TRUE(got);
    EXPECT_TRUE(got->empty());
}

}  // namespace
}  // namespace orvel

#include "bridge/roku/SsdpRokuDiscovery.hpp"

#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "../../support/LoopThread.hpp"
#include "../Loopback.hpp"
#include "bridge/roku/SsdpAnswer.hpp"

namespace orvel {
namespace {

using Hosts = std::vector<std::string>;

TEST(SsdpAnswer, RokuAnswersGiveTheirLocationAndOthersNothing) {
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

// A loopback UDP socket standing in for the network, and the discovery that searches it.
class SsdpRokuDiscoveryTest : public ::testing::Test {
protected:
    // Runs the search to its end, or for at most `seconds`.
    std::optional<Hosts> search(SsdpRokuDiscovery::Options options, double seconds = 10.0) {
        SsdpRokuDiscovery discovery(loop, std::move(options));
        std::optional<Hosts> got;
        auto pending = discovery.search([&](Hosts found) {
            got = std::move(found);
            loop.quit();
        });
        EXPECT_FALSE(got) << "completed inside search()";
        test::runGuarded(loop, seconds);
        return got;
    }

    PollLoop loop;
    sockaddr_in bound{};
    UniqueFd network = test::boundToLoopback(SOCK_DGRAM | SOCK_NONBLOCK, bound);
    int port = ntohs(bound.sin_port);
};

// Answers twice for the same device, once for another kind of device and once for a device
// somewhere other than where the answer came from.
TEST_F(SsdpRokuDiscoveryTest, SearchOnLoopbackCollectsAnswersOnce) {
    std::string searchReceived;
    int searches = 0;
    auto watch = loop.watchReadable(network.get(), [&] {
        std::array<char, 2048> buffer{};
        sockaddr_in sender{};
        socklen_t senderLength = sizeof sender;
        const auto n = ::recvfrom(network.get(), buffer.data(), buffer.size(), 0,
                                  reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (n <= 0) return;
        searchReceived.assign(buffer.data(), std::size_t(n));
        ++searches;
        for (const std::string kindAndPlace :
             {"roku:ecp\r\nLOCATION: http://127.0.0.1:8060/",
              "upnp:rootdevice\r\nLOCATION: http://127.0.0.1:1400/",
              "roku:ecp\r\nLOCATION: http://127.0.0.2:8060/",
              "roku:ecp\r\nLOCATION: http://127.0.0.1:8060/"}) {
            const std::string answer = "HTTP/1.1 200 OK\r\nST: " + kindAndPlace + "\r\n\r\n";
            ::sendto(network.get(), answer.data(), answer.size(), 0,
                     reinterpret_cast<sockaddr*>(&sender), senderLength);
        }
    });
    EXPECT_EQ(search({.targetHost = "127.0.0.1", .targetPort = port, .window = 0.3}),
              Hosts{"127.0.0.1:8060"});
    EXPECT_EQ(searchReceived,
              "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\n"
              "ST: roku:ecp\r\nMX: 2\r\n\r\n");
    EXPECT_EQ(searches, 2);  // once more in case the first was lost
}

TEST_F(SsdpRokuDiscoveryTest, ACancelledSearchSendsNothingMore) {
    int searches = 0;
    auto watch = loop.watchReadable(network.get(), [&] {
        std::array<char, 2048> buffer{};
        while (::recv(network.get(), buffer.data(), buffer.size(), 0) > 0) ++searches;
    });
    SsdpRokuDiscovery discovery(loop,
                                {.targetHost = "127.0.0.1", .targetPort = port, .window = 0.2});
    bool completed = false;
    discovery.search([&](const Hosts&) { completed = true; }).cancel();
    test::runGuarded(loop, 0.3);  // past the window
    EXPECT_EQ(searches, 1);
    EXPECT_FALSE(completed);
}

TEST_F(SsdpRokuDiscoveryTest, SearchToAnUnusableTargetCompletesEmpty) {
    EXPECT_EQ(search({.targetHost = "not-an-address", .targetPort = 1900}), Hosts{});
}

}  // namespace
}  // namespace orvel

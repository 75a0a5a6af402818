#include "bridge/roku/SsdpRokuDiscovery.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "platform/UniqueFd.hpp"

namespace orvel {
namespace {

using Hosts = std::vector<std::string>;

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
TEST(SsdpRokuDiscovery, SearchOnLoopbackCollectsAnswersOnce) {
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
        for (const std::string kindAndPlace :
             {"roku:ecp\r\nLOCATION: http://127.0.0.1:8060/",
              "upnp:rootdevice\r\nLOCATION: http://127.0.0.1:1400/",
              "roku:ecp\r\nLOCATION: http://127.0.0.2:8060/",
              "roku:ecp\r\nLOCATION: http://127.0.0.1:8060/"}) {
            const std::string answer = "HTTP/1.1 200 OK\r\nST: " + kindAndPlace + "\r\n\r\n";
            ::sendto(responder.get(), answer.data(), answer.size(), 0,
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

TEST(SsdpRokuDiscovery, ACancelledSearchSendsNothingMore) {
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

TEST(SsdpRokuDiscovery, SearchToAnUnusableTargetCompletesEmpty) {
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

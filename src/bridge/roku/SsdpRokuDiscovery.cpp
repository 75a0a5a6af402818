#include "bridge/roku/SsdpRokuDiscovery.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>

#include "bridge/roku/SsdpAnswer.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {
namespace {

// The search, as one datagram.
const std::string& searchRequest() {
    static const std::string request =
        "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nST: " +
        std::string(kRokuSearchTarget) + "\r\nMX: 2\r\n\r\n";
    return request;
}

}  // namespace

// One search: its socket, the watch on it and the answers so far. The window timer holds it;
// the watch holds it weakly. A cancelled search stops reading and is dropped when its window
// ends.
struct SsdpRokuDiscovery::Search {
    static constexpr int kMostAnswersPerWake = 64;
    static constexpr std::size_t kMostDevices = 32;  // one per sender address

    std::shared_ptr<CancelToken> token = std::make_shared<CancelToken>();
    sockaddr_in target{};
    CancelHandle again;  // the second M-SEARCH
    HostPortsDone done;
    UniqueFd socket;
    CancelHandle watch;
    std::vector<std::string> hostPorts;

    void readAnswers() {
        if (token->cancelled) {
            stop();
            return;
        }
        std::array<char, 4096> buffer{};
        // Bounded: a host that floods the search gets neither the loop nor a probe per port.
        for (int read = 0; read < kMostAnswersPerWake; ++read) {
            sockaddr_in sender{};
            socklen_t senderLength = sizeof sender;
            const auto received = ::recvfrom(socket.get(), buffer.data(), buffer.size(), 0,
                                             reinterpret_cast<sockaddr*>(&sender), &senderLength);
            if (received < 0) {
                // A refused earlier send is reported once and cleared by this read.
                if (errno == EINTR || errno == ECONNREFUSED) continue;
                return;
            }
            auto hostPort =
                readSsdpRokuLocation(std::string_view(buffer.data(), std::size_t(received)));
            if (!hostPort || !locatesSender(*hostPort, sender)) continue;
            const auto ip = hostPort->substr(0, hostPort->rfind(':'));
            const bool known = std::any_of(hostPorts.begin(), hostPorts.end(), [&](const auto& hp) {
                return hp.substr(0, hp.rfind(':')) == ip;
            });
            if (!known && hostPorts.size() < kMostDevices)
                hostPorts.push_back(std::move(*hostPort));
        }
    }

    // A device names its own address; an answer that points elsewhere would have the bridge
    // send requests wherever anyone on the network likes.
    static bool locatesSender(std::string_view hostPort, const sockaddr_in& sender) {
        std::array<char, INET_ADDRSTRLEN> senderIp{};
        if (!inet_ntop(AF_INET, &sender.sin_addr, senderIp.data(), senderIp.size())) return false;
        return hostPort.substr(0, hostPort.rfind(':')) == senderIp.data();
    }

    bool send() const {
        const std::string& request = searchRequest();
        return ::sendto(socket.get(), request.data(), request.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&target),
                        sizeof target) == static_cast<ssize_t>(request.size());
    }

    void stop() {
        again.cancel();
        watch.cancel();
        socket.reset();
    }

    void finish() {
        stop();
        if (!token->cancelled) done(std::move(hostPorts));
    }
};

SsdpRokuDiscovery::SsdpRokuDiscovery(PollLoop& loop, Options options)
    : loop_(loop), options_(std::move(options)) {}

SsdpRokuDiscovery::~SsdpRokuDiscovery() = default;

CancelHandle SsdpRokuDiscovery::search(HostPortsDone done) {
    auto search = std::make_shared<Search>();
    search->done = std::move(done);
    CancelHandle handle(search->token);

    sockaddr_in& target = search->target;
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(options_.targetPort));
    search->socket.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const bool sent = search->socket &&
                      inet_pton(AF_INET, options_.targetHost.c_str(), &target.sin_addr) == 1 &&
                      search->send();
    if (!sent) {
        search->socket.reset();
        loop_.post([search] { search->finish(); });
        return handle;
    }

    search->watch =
        loop_.watchReadable(search->socket.get(), [weak = std::weak_ptr<Search>(search)] {
            if (auto self = weak.lock()) self->readAnswers();
        });
    // UDP over Wi-Fi loses packets: a second search a little later costs nothing.
    search->again = loop_.postAfter(options_.window / 4, [weak = std::weak_ptr<Search>(search)] {
        if (auto self = weak.lock(); self && self->socket && !self->token->cancelled) {
            self->send();
        }
    });
    loop_.postAfter(options_.window, [search] { search->finish(); }).detach();
    return handle;
}

}  // namespace orvel

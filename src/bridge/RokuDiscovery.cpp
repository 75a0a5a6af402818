#include "bridge/RokuDiscovery.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <memory>

#include "platform/UniqueFd.hpp"

namespace orvel {
namespace {

constexpr int kDiscoveryDefaultPort = 8060;
constexpr std::string_view kDiscoveryHostsName = "ORVEL_ROKU_HOSTS";
constexpr std::string_view kSsdpMSearch =
    "M-SEARCH * HTTP/1.1\r\n"
    "HOST: 239.255.255.250:1900\r\n"
    "MAN: \"ssdp:discover\"\r\n"
    "ST: roku:ecp\r\n"
    "MX: 2\r\n"
    "\r\n";

std::string_view trimDiscoveryText(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

bool sameTextIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// 1 to 65535 in plain digits; 0 for anything else.
int readDiscoveryPort(std::string_view text) {
    if (text.empty() || text.size() > 5) return 0;
    int port = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return 0;
        port = port * 10 + (c - '0');
    }
    return port <= 65535 ? port : 0;
}

// The canonical text of an IP literal, in brackets for IPv6 ("[::1]"); empty when `text`
// is no IP literal of `family`.
std::string canonicalDiscoveryIp(std::string_view text, int family) {
    std::array<unsigned char, sizeof(in6_addr)> address{};
    std::array<char, INET6_ADDRSTRLEN> canonical{};
    const std::string nulTerminated(text);
    if (inet_pton(family, nulTerminated.c_str(), address.data()) != 1) return {};
    if (!inet_ntop(family, address.data(), canonical.data(), canonical.size())) return {};
    return family == AF_INET6 ? "[" + std::string(canonical.data()) + "]"
                              : std::string(canonical.data());
}

struct HostPortParts {
    std::string ip;  // canonical; empty: not an IP literal
    std::string_view portText;
    bool hasPort = false;
    bool unbracketedIpv6 = false;
};

// "a.b.c.d", "a.b.c.d:port", "[v6]" or "[v6]:port".
HostPortParts splitDiscoveryHostPort(std::string_view text) {
    HostPortParts parts;
    std::string_view host = text;
    std::string_view rest;
    int family = AF_INET;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) return parts;
        host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        family = AF_INET6;
    } else if (std::count(text.begin(), text.end(), ':') > 1) {
        parts.unbracketedIpv6 = !canonicalDiscoveryIp(text, AF_INET6).empty();
        return parts;
    } else if (const auto colon = text.find(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        rest = text.substr(colon);
    }
    if (!rest.empty()) {
        if (rest.front() != ':') return parts;
        parts.hasPort = true;
        parts.portText = rest.substr(1);
    }
    parts.ip = canonicalDiscoveryIp(host, family);
    return parts;
}

}  // namespace

std::variant<std::vector<std::string>, std::string> parseRokuHosts(std::string_view setting) {
    std::vector<std::string> hostPorts;
    while (!setting.empty()) {
        const auto comma = setting.find(',');
        const auto entry = trimDiscoveryText(setting.substr(0, comma));
        setting = comma == std::string_view::npos ? std::string_view() : setting.substr(comma + 1);
        if (entry.empty()) continue;

        const auto quoted = "\"" + std::string(entry) + "\"";
        const auto parts = splitDiscoveryHostPort(entry);
        if (parts.unbracketedIpv6) {
            return std::string(kDiscoveryHostsName) + " lists " + quoted +
                   ", an IPv6 address without brackets; write it as \"[" + std::string(entry) +
                   "]\".";
        }
        if (parts.ip.empty()) {
            return std::string(kDiscoveryHostsName) + " lists " + quoted +
                   ", which is not an IP address.";
        }
        int port = kDiscoveryDefaultPort;
        if (parts.hasPort) {
            port = readDiscoveryPort(parts.portText);
            if (port == 0) {
                return std::string(kDiscoveryHostsName) + " lists " + quoted +
                       ", whose port is not a number from 1 to 65535.";
            }
        }
        auto hostPort = parts.ip + ":" + std::to_string(port);
        if (std::find(hostPorts.begin(), hostPorts.end(), hostPort) == hostPorts.end()) {
            hostPorts.push_back(std::move(hostPort));
        }
    }
    return hostPorts;
}

std::optional<std::string> readSsdpRokuLocation(std::string_view datagram) {
    bool firstLine = true;
    bool isRoku = false;
    std::string_view location;
    while (!datagram.empty()) {
        const auto newline = datagram.find('\n');
        auto line = datagram.substr(0, newline);
        datagram =
            newline == std::string_view::npos ? std::string_view() : datagram.substr(newline + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (firstLine) {
            // "HTTP/1.1 200 OK"
            firstLine = false;
            if (!line.starts_with("HTTP/1.")) return std::nullopt;
            auto status = trimDiscoveryText(line.substr(std::min(line.find(' '), line.size())));
            if (status.substr(0, status.find(' ')) != "200") return std::nullopt;
            continue;
        }
        if (line.empty()) break;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const auto name = trimDiscoveryText(line.substr(0, colon));
        const auto value = trimDiscoveryText(line.substr(colon + 1));
        if (sameTextIgnoringCase(name, "ST") || sameTextIgnoringCase(name, "NT")) {
            isRoku = isRoku || sameTextIgnoringCase(value, "roku:ecp");
        } else if (sameTextIgnoringCase(name, "LOCATION")) {
            location = value;
        }
    }
    if (!isRoku) return std::nullopt;

    constexpr std::string_view kScheme = "http://";
    if (location.size() < kScheme.size() ||
        !sameTextIgnoringCase(location.substr(0, kScheme.size()), kScheme)) {
        return std::nullopt;
    }
    auto authority = location.substr(kScheme.size());
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const auto parts = splitDiscoveryHostPort(authority);
    if (parts.ip.empty()) return std::nullopt;
    // What HTTP means by a URL without a port (or with an empty one).
    int port = 80;
    if (parts.hasPort && !parts.portText.empty()) {
        port = readDiscoveryPort(parts.portText);
        if (port == 0) return std::nullopt;
    }
    return parts.ip + ":" + std::to_string(port);
}

FixedRokuHosts::FixedRokuHosts(MainLoop& loop, std::vector<std::string> hostPorts)
    : loop_(loop), hostPorts_(std::move(hostPorts)) {}

CancelHandle FixedRokuHosts::search(HostPortsDone done) {
    auto token = std::make_shared<CancelToken>();
    loop_.post([token, hostPorts = hostPorts_, done = std::move(done)]() mutable {
        if (!token->cancelled) done(std::move(hostPorts));
    });
    return CancelHandle(token);
}

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
        return ::sendto(socket.get(), kSsdpMSearch.data(), kSsdpMSearch.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&target),
                        sizeof target) == static_cast<ssize_t>(kSsdpMSearch.size());
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

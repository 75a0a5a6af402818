// A keypress on a Roku, `orvel up` end to end (tool -> app -> bridge -> HTTP -> fake Roku on
// 127.0.0.1), next to the same keypress sent straight to the same fake by a minimal HTTP
// client on one kept-alive connection, interleaved in one run. Prints p50/p99 of both and
// ratio = orvel / direct.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "../tests/support/FakeRokuDevice.hpp"
#include "../tests/support/LoopbackHttpServer.hpp"
#include "HeadlessHarness.hpp"
#include "platform/UniqueFd.hpp"

namespace {

// One kept-alive connection that sends "POST /keypress/Up" and reads the whole answer.
class DirectClient {
public:
    explicit DirectClient(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        ::setsockopt(fd_.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            fd_.reset();
        request_ = "POST /keypress/Up HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                   "\r\nContent-Length: 0\r\n\r\n";
    }
    bool press() {
        if (!fd_ || ::send(fd_.get(), request_.data(), request_.size(), MSG_NOSIGNAL) < 0)
            return false;
        std::string answer;
        char chunk[4096];
        while (true) {
            const auto end = answer.find("\r\n\r\n");
            if (end != std::string::npos) {
                const auto length = answer.find("Content-Length: ");
                const std::size_t body =
                    length == std::string::npos ? 0 : std::stoul(answer.substr(length + 16));
                if (answer.size() >= end + 4 + body) return answer.starts_with("HTTP/1.1 2");
            }
            const auto count = ::recv(fd_.get(), chunk, sizeof chunk, 0);
            if (count <= 0) return false;
            answer.append(chunk, static_cast<std::size_t>(count));
        }
    }

private:
    orvel::UniqueFd fd_;
    std::string request_;
};

}  // namespace

int main() {
    using namespace orvel::bench;
    using Clock = std::chrono::steady_clock;
    constexpr int kRounds = 300;
    orvel::test::FakeRokuDevice tv;
    orvel::test::LoopbackHttpServer server(
        [&](const orvel::test::FakeHttpRequest& request) { return tv.handle(request); });
    HeadlessHarness app("roku:X00000FAKE01", server.hostPort());
    if (!app.ready()) {
        static_cast<void>(
            std::fprintf(stderr, "the headless app did not connect to the fake Roku\n"));
        return 1;
    }
    DirectClient direct(server.port());
    for (int i = 0; i < 20; ++i) {
        runTool({"up"});
        direct.press();
    }
    std::vector<double> viaOrvel, straight;
    for (int i = 0; i < kRounds; ++i) {
        const ToolRun up = runTool({"up"});
        const auto start = Clock::now();
        const bool pressed = direct.press();
        const double directMs =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (up.status != 0 || !pressed) {
            static_cast<void>(std::fprintf(stderr, "a keypress failed (orvel %d, direct %d)\n",
                                           up.status, pressed ? 0 : 1));
            return 1;
        }
        viaOrvel.push_back(up.seconds * 1e3);
        straight.push_back(directMs);
    }
    const double orvelP50 = percentile(viaOrvel, 0.5), directP50 = percentile(straight, 0.5);
    std::printf("orvel up:        p50 %.3f ms, p99 %.3f ms (%d runs)\n", orvelP50,
                percentile(viaOrvel, 0.99), kRounds);
    std::printf("direct keypress: p50 %.3f ms, p99 %.3f ms (%d runs)\n", directP50,
                percentile(straight, 0.99), kRounds);
    std::printf("ratio = orvel / direct at p50: %.2f\n",
                directP50 > 0 ? orvelP50 / directP50 : 0.0);
    return 0;
}

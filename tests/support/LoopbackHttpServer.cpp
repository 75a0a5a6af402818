#include "LoopbackHttpServer.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace orvel::test {

namespace {

// The head of a request (everything before the blank line); false when it is no request line
// followed by "Name: value" lines.
bool parseHead(std::string_view head, FakeHttpRequest& request) {
    const std::size_t space1 = head.find(' ');
    const std::size_t space2 = head.find(' ', space1 + 1);
    if (space2 == std::string_view::npos || space2 > head.find("\r\n")) return false;
    request.method = head.substr(0, space1);
    request.target = head.substr(space1 + 1, space2 - space1 - 1);
    for (auto at = head.find("\r\n"); at != std::string_view::npos; at = head.find("\r\n", at)) {
        at += 2;
        const auto line = head.substr(at, head.find("\r\n", at) - at);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) return false;
        std::string name(line.substr(0, colon));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const auto value = line.substr(colon + 1);
        request.headers[name] = value.substr(std::min(value.find_first_not_of(' '), value.size()));
    }
    return true;
}

bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

int listenOnLoopback(int fd, const char* who) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::perror(who);
        std::abort();
    }
    return ntohs(address.sin_port);
}

bool LoopbackHttpServer::pause(double seconds) {
    std::unique_lock lock(mutex_);
    return !stopped_.wait_for(lock, std::chrono::duration<double>(seconds),
                              [this] { return stopping_; });
}

void LoopbackHttpServer::acceptLoop() {
    for (;;) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        std::lock_guard lock(mutex_);
        if (stopping_) {
            if (fd >= 0) ::close(fd);
            return;
        }
        if (fd >= 0) connections_.push_back({fd, std::thread([this, fd] { serve(fd); })});
    }
}

void LoopbackHttpServer::serve(int fd) {
    // The descriptor is closed by whoever joins this thread; shutdown() ends the connection
    // without letting the number be reused while the destructor may still shut it down.
    std::string buffer;
    char chunk[4096];
    for (;;) {
        const std::size_t headEnd = buffer.find("\r\n\r\n");
        FakeHttpRequest request;
        std::size_t bodySize = 0;
        if (headEnd != std::string::npos) {
            if (!parseHead(std::string_view(buffer).substr(0, headEnd), request)) break;
            const auto length = request.headers.find("content-length");
            if (length != request.headers.end())
                bodySize = std::strtoul(length->second.c_str(), nullptr, 10);
        }
        if (headEnd == std::string::npos || buffer.size() < headEnd + 4 + bodySize) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            buffer.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        request.body = buffer.substr(headEnd + 4, bodySize);
        buffer.erase(0, headEnd + 4 + bodySize);

        if (dropWithoutAnswer_) break;
        if (const double delay = answerDelay_; delay > 0 && !pause(delay)) break;
        const FakeHttpResponse response = handler_(request);
        const bool close = closeAfterAnswer_;
        // No reason phrase: clients go by the number.
        std::string answer = "HTTP/1.1 " + std::to_string(response.status) + " \r\n";
        if (!response.contentType.empty())
            answer += "Content-Type: " + response.contentType + "\r\n";
        answer += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
        if (close) answer += "Connection: close\r\n";
        if (!sendAll(fd, answer + "\r\n" + response.body) || close) break;
    }
    ::shutdown(fd, SHUT_RDWR);
}

// The threads run members of this object; the destructor joins them all before it goes.
LoopbackHttpServer::LoopbackHttpServer(FakeHttpHandler handler)
    : handler_(std::move(handler)),
      listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)),
      port_(listenOnLoopback(listener_, "LoopbackHttpServer")) {
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (Connection& c : connections_) ::shutdown(c.fd, SHUT_RDWR);
    }
    stopped_.notify_all();
    ::shutdown(listener_, SHUT_RDWR);  // ends a blocked accept()
    acceptThread_.join();
    // Nothing starts connections any more: no lock is needed to join them.
    for (Connection& c : connections_) {
        c.thread.join();
        ::close(c.fd);
    }
    ::close(listener_);
}

}  // namespace orvel::test

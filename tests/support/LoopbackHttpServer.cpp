#include "LoopbackHttpServer.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace orvel::test {

namespace {

std::string loopbackLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string loopbackTrimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return std::string(text);
}

const char* loopbackReason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 202:
            return "Accepted";
        case 204:
            return "No Content";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Unknown";
    }
}

// Parses the head of a request (everything before the blank line). False when it is no
// request line followed by "Name: value" lines.
bool loopbackParseHead(std::string_view head, FakeHttpRequest& request) {
    std::size_t lineEnd = head.find("\r\n");
    std::string_view line = head.substr(0, lineEnd);
    std::size_t space1 = line.find(' ');
    std::size_t space2 = line.rfind(' ');
    if (space1 == std::string_view::npos || space2 == space1) return false;
    request.method = std::string(line.substr(0, space1));
    request.target = std::string(line.substr(space1 + 1, space2 - space1 - 1));
    while (lineEnd != std::string_view::npos) {
        head.remove_prefix(lineEnd + 2);
        lineEnd = head.find("\r\n");
        line = head.substr(0, lineEnd);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) return false;
        request.headers[loopbackLower(std::string(line.substr(0, colon)))] =
            loopbackTrimmed(line.substr(colon + 1));
    }
    return true;
}

bool loopbackSendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

struct LoopbackHttpServer::Impl {
    struct Connection {
        int fd;
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    // Immutable once the server is built.
    FakeHttpHandler handler;
    int listener = -1;
    int port = 0;

    std::atomic<double> answerDelay{0.0};
    std::atomic<bool> closeAfterAnswer{false};
    std::atomic<bool> dropWithoutAnswer{false};
    std::atomic<int> accepted{0};

    std::mutex mutex;  // guards `stopping` and `connections`; `stopped` waits on it
    std::condition_variable stopped;
    bool stopping = false;
    std::vector<Connection> connections;

    std::thread acceptThread;

    void acceptLoop();
    void serve(int fd);
    // Waits `seconds` unless the server stops first; false when it stopped.
    bool pause(double seconds) {
        std::unique_lock lock(mutex);
        return !stopped.wait_for(lock, std::chrono::duration<double>(seconds),
                                 [this] { return stopping; });
    }
};

void LoopbackHttpServer::Impl::acceptLoop() {
    for (;;) {
        int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0 && errno == EINTR) continue;
        std::lock_guard lock(mutex);
        if (stopping) {
            if (fd >= 0) ::close(fd);
            return;
        }
        if (fd < 0) continue;  // e.g. a connection reset before it was accepted
        // Finished connections go now, so that a long run does not pile up threads.
        std::erase_if(connections, [](Connection& c) {
            if (!*c.done) return false;
            c.thread.join();
            ::close(c.fd);
            return true;
        });
        ++accepted;
        auto done = std::make_shared<std::atomic<bool>>(false);
        connections.push_back(Connection{fd, std::thread([this, fd, done] {
                                             serve(fd);
                                             *done = true;
                                         }),
                                         done});
    }
}

void LoopbackHttpServer::Impl::serve(int fd) {
    // The descriptor is closed by whoever joins this thread; shutdown() ends the connection
    // without letting the number be reused while the destructor may still shut it down.
    std::string buffer;
    char chunk[4096];
    for (;;) {
        std::size_t headEnd = buffer.find("\r\n\r\n");
        FakeHttpRequest request;
        std::size_t bodySize = 0;
        bool complete = false;
        if (headEnd != std::string::npos) {
            if (!loopbackParseHead(std::string_view(buffer).substr(0, headEnd), request)) break;
            auto length = request.headers.find("content-length");
            if (length != request.headers.end())
                bodySize = std::strtoul(length->second.c_str(), nullptr, 10);
            complete = buffer.size() >= headEnd + 4 + bodySize;
        }
        if (!complete) {
            ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            buffer.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        request.body = buffer.substr(headEnd + 4, bodySize);
        buffer.erase(0, headEnd + 4 + bodySize);

        if (dropWithoutAnswer) break;
        if (double delay = answerDelay; delay > 0 && !pause(delay)) break;
        FakeHttpResponse response = handler(request);
        const bool close =
            closeAfterAnswer || loopbackLower(request.headers["connection"]) == "close";
        std::string answer = "HTTP/1.1 " + std::to_string(response.status) + " " +
                             loopbackReason(response.status) + "\r\n";
        if (!response.contentType.empty())
            answer += "Content-Type: " + response.contentType + "\r\n";
        answer += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
        if (close) answer += "Connection: close\r\n";
        answer += "\r\n" + response.body;
        if (!loopbackSendAll(fd, answer) || close) break;
    }
    ::shutdown(fd, SHUT_RDWR);
}

LoopbackHttpServer::LoopbackHttpServer(FakeHttpHandler handler) : impl_(std::make_unique<Impl>()) {
    Impl& d = *impl_;
    d.handler = std::move(handler);
    d.listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (d.listener < 0 || ::bind(d.listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(d.listener, 64) != 0 ||
        ::getsockname(d.listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        // A test fake without its socket has nothing to test against.
        std::fprintf(stderr, "LoopbackHttpServer: %s\n", std::strerror(errno));
        std::abort();
    }
    d.port = ntohs(address.sin_port);
    d.acceptThread = std::thread([&d] { d.acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    Impl& d = *impl_;
    {
        std::lock_guard lock(d.mutex);
        d.stopping = true;
    }
    d.stopped.notify_all();
    ::shutdown(d.listener, SHUT_RDWR);  // ends a blocked accept()
    d.acceptThread.join();
    {
        std::lock_guard lock(d.mutex);
        for (Impl::Connection& c : d.connections) ::shutdown(c.fd, SHUT_RDWR);
    }
    // The threads no longer start or end connections: no lock is needed to join them.
    for (Impl::Connection& c : d.connections) {
        c.thread.join();
        ::close(c.fd);
    }
    ::close(d.listener);
}

int LoopbackHttpServer::port() const {
    return impl_->port;
}

std::string LoopbackHttpServer::hostPort() const {
    return "127.0.0.1:" + std::to_string(impl_->port);
}

void LoopbackHttpServer::setAnswerDelay(double seconds) {
    impl_->answerDelay = seconds;
}

void LoopbackHttpServer::setCloseAfterAnswer(bool close) {
    impl_->closeAfterAnswer = close;
}

void LoopbackHttpServer::setDropWithoutAnswer(bool drop) {
    impl_->dropWithoutAnswer = drop;
}

int LoopbackHttpServer::connectionsAccepted() const {
    return impl_->accepted;
}

}  // namespace orvel::test

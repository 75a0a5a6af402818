#pragma once
// LoopbackHttpServer: a small keep-alive HTTP/1.1 server on 127.0.0.1 (a port the kernel picks)
// with a thread per connection, answering through `handler`, which may run on several threads
// at once. Free of GoogleTest. Destroying it closes every connection and joins its threads.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvel::test {

// What the server and the device models behind it exchange. Plain values; any thread.
struct FakeHttpRequest {
    std::string method;                          // "GET", "POST"
    std::string target;                          // as sent: "/keypress/Lit_%C3%A9"
    std::map<std::string, std::string> headers;  // names lower-cased
    std::string body;
};

struct FakeHttpResponse {
    int status = 200;
    std::string contentType = "text/xml; charset=\"utf-8\"";
    std::string body;
};

using FakeHttpHandler = std::function<FakeHttpResponse(const FakeHttpRequest&)>;

// Binds the TCP socket `fd` to 127.0.0.1 on a port the kernel picks and listens on it: the
// port. Aborts, saying why as `who`, when it cannot: a fake without its socket has nothing to
// test against.
int listenOnLoopback(int fd, const char* who);

class LoopbackHttpServer {
public:
    explicit LoopbackHttpServer(FakeHttpHandler handler);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int port() const { return port_; }
    std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }

    // Thread-safe; apply to requests read from then on.
    void setAnswerDelay(double seconds) { answerDelay_ = seconds; }  // before each answer
    // "Connection: close" and close after answering.
    void setCloseAfterAnswer(bool close) { closeAfterAnswer_ = close; }
    // Read the request, then close without answering.
    void setDropWithoutAnswer(bool drop) { dropWithoutAnswer_ = drop; }

    // Connections accepted so far: tells a client that reuses its connection from one that
    // does not.
    int connectionsAccepted() const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(connections_.size());
    }

private:
    struct Connection {
        int fd;
        std::thread thread;
    };

    void acceptLoop();
    void serve(int fd);
    // Waits `seconds` unless the server stops first; false when it stopped.
    bool pause(double seconds);

    const FakeHttpHandler handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<double> answerDelay_{0.0};
    std::atomic<bool> closeAfterAnswer_{false};
    std::atomic<bool> dropWithoutAnswer_{false};

    mutable std::mutex mutex_;  // guards `stopping_` and `connections_`; `stopped_` waits on it
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::vector<Connection> connections_;
    std::thread acceptThread_;
};

}  // namespace orvel::test

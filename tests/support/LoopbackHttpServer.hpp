#pragma once
// LoopbackHttpServer: a small HTTP/1.1 server on 127.0.0.1 (a port the kernel picks) for the
// tests and benchmarks of our HTTP clients. Keeps connections alive, serves each connection on
// a thread of its own and answers through `handler`, which may run on several threads at once.
// It can be made to answer late, to close every connection after one answer, or to close
// connections without answering. Free of GoogleTest. Destroying it closes the listener and
// every connection and joins its threads.

#include <atomic>
#include <memory>
#include <string>

#include "FakeHttp.hpp"

namespace orvel::test {

class LoopbackHttpServer {
public:
    explicit LoopbackHttpServer(FakeHttpHandler handler);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int port() const;
    std::string hostPort() const;  // "127.0.0.1:<port>"

    // Thread-safe; apply to requests read from then on.
    void setAnswerDelay(double seconds);   // wait this long before each answer
    void setCloseAfterAnswer(bool close);  // "Connection: close" and close after answering
    void setDropWithoutAnswer(bool drop);  // read the request, then close without answering

    // Connections accepted so far: tells a client that reuses its connection from one that
    // does not.
    int connectionsAccepted() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvel::test

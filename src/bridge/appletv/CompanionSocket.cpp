#include "bridge/appletv/CompanionSocket.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>

#include "core/JoinText.hpp"
#include "platform/SystemError.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {

namespace {

// A TV that vanishes without a word (unplugged, out of Wi-Fi) is noticed by the kernel too, not
// only by our own probes: first probe after 20 s of quiet, then every 5 s, three times.
constexpr int kKeepAliveIdle = 20;
constexpr int kKeepAliveInterval = 5;
constexpr int kKeepAliveCount = 3;
// Bounded per wake-up, so that a flood of bytes cannot keep the loop from its other work.
constexpr int kMostReadsPerWake = 16;

void setOption(int fd, int level, int name, int value) {
    // Each is an improvement only: a kernel that refuses one still connects.
    (void)::setsockopt(fd, level, name, &value, sizeof value);
}

}  // namespace

// Shared with the loop's watch and timer callbacks, which hold it weakly and keep it alive for
// the length of a call, so that the owner may destroy the socket from inside a hook.
struct CompanionSocket::State {
    PollLoop& loop;
    std::string peer;
    Hooks hooks;
    UniqueFd fd;
    CancelHandle watch;
    CancelHandle timer;
    bool connected = false;
    bool ended = false;
    std::vector<std::uint8_t> outgoing;
    std::size_t sent = 0;  // bytes of `outgoing` already written
    FdEvents watching = FdEvents::none;

    State(PollLoop& l, std::string p, Hooks h) : loop(l), peer(std::move(p)), hooks(std::move(h)) {}

    void stop() {
        ended = true;
        watch.cancel();
        timer.cancel();
        fd.reset();
        outgoing.clear();
    }

    void fail(const std::string& reason) {
        if (ended) return;
        stop();
        auto closed = hooks.closed;  // the owner may destroy the socket, hooks included
        if (closed) closed(reason);
    }

    void watchFor(const std::shared_ptr<State>& self, FdEvents events) {
        if (events == watching && watch.pending()) return;
        watching = events;
        watch = loop.watch(fd.get(), events, [weak = std::weak_ptr<State>(self)](FdEvents ready) {
            if (auto state = weak.lock()) state->onReady(state, ready);
        });
    }

    void updateWatch(const std::shared_ptr<State>& self) {
        if (ended) return;
        FdEvents events = FdEvents::writable;  // connecting
        if (connected) {
            events = FdEvents::readable;
            if (sent < outgoing.size()) events = events | FdEvents::writable;
        }
        watchFor(self, events);
    }

    void onReady(const std::shared_ptr<State>& self, FdEvents ready) {
        if (ended) return;
        if (!connected) {
            if (has(ready, FdEvents::writable)) finishConnect(self);
            return;
        }
        if (has(ready, FdEvents::writable)) flush(self);
        if (!ended && has(ready, FdEvents::readable)) readAll();
    }

    void finishConnect(const std::shared_ptr<State>& self) {
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        if (error == EINPROGRESS) return;
        if (error != 0)
            return fail(
                joinText({"Could not connect to ", peer, ": ", systemErrorText(error), "."}));
        connected = true;
        timer.cancel();
        flush(self);
    }

    void flush(const std::shared_ptr<State>& self) {
        while (connected && !ended && sent < outgoing.size()) {
            const ssize_t n =
                ::send(fd.get(), outgoing.data() + sent, outgoing.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            if (n < 0) return fail(failedText(errno));
            sent += static_cast<std::size_t>(n);
        }
        if (sent == outgoing.size()) {
            outgoing.clear();
            sent = 0;
        }
        updateWatch(self);
    }

    std::string failedText(int error) const {
        return joinText({"The connection to ", peer, " failed: ", systemErrorText(error), "."});
    }

    void readAll() {
        std::array<std::uint8_t, 16384> buffer{};
        for (int read = 0; read < kMostReadsPerWake && !ended; ++read) {
            const ssize_t n = ::recv(fd.get(), buffer.data(), buffer.size(), 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            if (n < 0) return fail(failedText(errno));
            if (n == 0) return fail(joinText({peer, " closed the connection."}));
            auto received = hooks.received;  // as in fail()
            if (received) received(std::span<const std::uint8_t>(buffer.data(), std::size_t(n)));
        }
    }
};

CompanionSocket::CompanionSocket(PollLoop& loop, const std::string& ip, int port,
                                 double connectTimeout, Hooks hooks)
    : state_(std::make_shared<State>(loop, joinText({ip, ":", std::to_string(port)}),
                                     std::move(hooks))) {
    State& s = *state_;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    std::string problem;
    if (port <= 0 || port > 65535 || ::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) {
        problem = joinText({s.peer, " is not an IPv4 address and port."});
    } else {
        s.fd.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!s.fd) problem = joinText({"Could not open a socket: ", systemErrorText(errno), "."});
    }
    if (problem.empty()) {
        // Key presses are small frames that must go out at once, not wait for an ACK.
        setOption(s.fd.get(), IPPROTO_TCP, TCP_NODELAY, 1);
        setOption(s.fd.get(), SOL_SOCKET, SO_KEEPALIVE, 1);
        setOption(s.fd.get(), IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdle);
        setOption(s.fd.get(), IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveInterval);
        setOption(s.fd.get(), IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveCount);
        int rc = 0;
        do {
            rc = ::connect(s.fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0 && errno != EINPROGRESS)
            problem =
                joinText({"Could not connect to ", s.peer, ": ", systemErrorText(errno), "."});
    }
    std::weak_ptr<State> weak = state_;
    if (!problem.empty()) {
        s.fd.reset();
        loop.post([weak, problem] {
            if (auto state = weak.lock()) state->fail(problem);
        });
        return;
    }
    s.watchFor(state_, FdEvents::writable);
    s.timer = loop.postAfter(connectTimeout, [weak] {
        if (auto state = weak.lock(); state && !state->connected)
            state->fail(joinText({state->peer, " did not accept a connection in time."}));
    });
}

CompanionSocket::~CompanionSocket() {
    state_->stop();
}

void CompanionSocket::send(std::span<const std::uint8_t> bytes) {
    if (state_->ended) return;
    state_->outgoing.insert(state_->outgoing.end(), bytes.begin(), bytes.end());
    // Written when the loop finds the socket writable (at once, as a rule), so that a failed
    // write ends the socket from the loop and never inside the caller's send().
    state_->updateWatch(state_);
}

const std::string& CompanionSocket::peer() const {
    return state_->peer;
}

}  // namespace orvel

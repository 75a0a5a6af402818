#pragma once
// Client: the client end of one control socket connection, as a script would use it, or the
// reading end of any stream (a child's output pipe). Every read is bounded in real time.
// Owned by one test thread.

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <utility>

#include "platform/UniqueFd.hpp"

namespace orvel::test {

class Client {
public:
    explicit Client(const std::string& path)
        : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        connected_ =
            ::connect(fd_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    explicit Client(UniqueFd stream) : fd_(std::move(stream)), connected_(bool(fd_)) {}
    bool connected() const { return connected_; }

    bool send(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t sent =
                ::send(fd_.get(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (sent <= 0) return false;
            done += static_cast<std::size_t>(sent);
        }
        return true;
    }
    void endSending() { ::shutdown(fd_.get(), SHUT_WR); }
    void close() { fd_.reset(); }

    // Bytes up to and including the next line feed; what arrived so far on time-out or end.
    std::string readLine(double seconds = 5.0) { return read(true, seconds); }
    // Everything until the server closes (or `seconds` pass; then ended() is false).
    std::string readAll(double seconds = 5.0) { return read(false, seconds); }
    bool ended() const { return ended_; }
    // Whether a byte or the end waits to be read; never waits itself.
    bool readable() {
        pollfd entry{fd_.get(), POLLIN, 0};
        return !pending_.empty() || ended_ || ::poll(&entry, 1, 0) > 0;
    }

private:
    std::string read(bool oneLine, double seconds) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            if (const auto feed = pending_.find('\n'); oneLine && feed != std::string::npos) {
                std::string line = pending_.substr(0, feed + 1);
                pending_.erase(0, feed + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd entry{fd_.get(), POLLIN, 0};
            if (ended_ || left.count() <= 0 ||
                ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                return std::exchange(pending_, {});
            }
            char chunk[65536];
            const ssize_t got = ::read(fd_.get(), chunk, sizeof chunk);
            if (got <= 0) {
                ended_ = true;
            } else {
                pending_.append(chunk, static_cast<std::size_t>(got));
            }
        }
    }

    UniqueFd fd_;
    bool connected_ = false;
    bool ended_ = false;
    std::string pending_;
};

}  // namespace orvel::test

#include "control/ControlConnections.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control/ControlRequestReader.hpp"
#include "core/ControlMessage.hpp"
#include "platform/ThreadName.hpp"

namespace orvel {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point after(Clock::time_point start, double seconds) {
    constexpr double kLongest = 365.0 * 24 * 3600;  // far enough, clear of the clock's range
    return start + std::chrono::duration_cast<Clock::duration>(
                       std::chrono::duration<double>(std::clamp(seconds, 0.0, kLongest)));
}

// Milliseconds for poll until `deadline`, rounded up so that it is due when poll returns.
int millisecondsUntil(Clock::time_point deadline, Clock::time_point now) {
    if (deadline == Clock::time_point::max()) return -1;
    constexpr double kMax = 1e9;  // about 11 days; the loop waits again
    const double ms = std::chrono::duration<double, std::milli>(deadline - now).count();
    return static_cast<int>(std::ceil(std::clamp(ms, 0.0, kMax)));
}

std::string failureLine(std::string_view error) {
    return ControlMessage::serializeLine(ControlMessage::failure(error)).value_or("");
}

bool peerIsOurUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

}  // namespace

// What other threads hand to the poller (new connections, answers) and what the main-loop
// items call. The poller holds it while it runs; everything else holds it weakly.
struct ControlConnections::Shared {
    struct Answer {
        std::uint64_t id;
        std::optional<std::string> line;  // none: it could not be serialised; close unanswered
    };

    Shared(MainLoop& mainLoop, Handler onRequest, Limits connectionLimits)
        : loop(mainLoop),
          handler(std::move(onRequest)),
          limits(connectionLimits),
          wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    template <typename Change>
    void hand(Change&& change) {
        {
            std::lock_guard lock(mutex);
            if (goingAway) return;
            change();
        }
        ::eventfd_write(wake.get(), 1);
    }

    // Immutable.
    MainLoop& loop;
    const Handler handler;
    const Limits limits;
    const UniqueFd wake;  // readable while something waits for the poller

    // Guarded by mutex.
    std::mutex mutex;
    WatchHandler watchHandler;
    std::vector<std::pair<UniqueFd, Clock::time_point>> accepted;
    std::vector<Answer> answers;
    bool goingAway = false;
};

// The serving thread's own state; nothing in it is touched by another thread.
class ControlConnections::Poller {
public:
    explicit Poller(std::shared_ptr<Shared> shared)
        : shared_(std::move(shared)), limits_(shared_->limits) {}
    Poller(const Poller&) = delete;
    Poller& operator=(const Poller&) = delete;
    ~Poller() {
        for (auto& [id, connection] : connections_) {
            if (connection.stream) connection.stream->finish();
        }
    }

    void run();

private:
    enum class Phase { reading, answering, writing, watching };
    struct Connection {
        UniqueFd fd;  // moves into the stream of a watch
        Phase phase = Phase::reading;
        Clock::time_point deadline;
        ControlRequestReader reader;
        std::string out;
        std::size_t sent = 0;
        std::shared_ptr<ControlStream> stream;
        int socket() const { return stream ? stream->client() : fd.get(); }
    };
    using Entry = std::map<std::uint64_t, Connection>::iterator;

    bool takeHanded();
    void expire(Clock::time_point now);
    void serve(Entry entry, short revents);
    void read(Entry entry);
    void request(Entry entry);
    void watch(Entry entry, nlohmann::json request, WatchHandler onWatch);
    void write(Entry entry, std::string line);
    void flush(Entry entry);
    void drain(Entry entry, short revents);

    std::shared_ptr<Shared> shared_;
    const Limits limits_;
    std::map<std::uint64_t, Connection> connections_;
    std::uint64_t nextID_ = 1;  // never reused, so a late answer cannot reach another client
    std::size_t watching_ = 0;
};

void ControlConnections::Poller::run() {
    std::vector<pollfd> fds;
    std::vector<std::uint64_t> ids;
    while (takeHanded()) {
        const auto now = Clock::now();
        expire(now);
        fds.assign(1, {shared_->wake.get(), POLLIN, 0});
        ids.assign(1, 0);
        auto next = Clock::time_point::max();
        for (const auto& [id, connection] : connections_) {
            static constexpr short kEvents[] = {POLLIN, 0, POLLOUT, POLLIN};
            fds.push_back({connection.socket(), kEvents[static_cast<int>(connection.phase)], 0});
            ids.push_back(id);
            next = std::min(next, connection.deadline);
        }
        if (::poll(fds.data(), fds.size(), millisecondsUntil(next, now)) < 0) {
            if (errno != EINTR) ::poll(nullptr, 0, 100);  // out of memory for now: back off
            continue;
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            if (auto entry = connections_.find(ids[i]); entry != connections_.end()) {
                serve(entry, fds[i].revents);
            }
        }
    }
}

bool ControlConnections::Poller::takeHanded() {
    eventfd_t ignored = 0;
    ::eventfd_read(shared_->wake.get(), &ignored);  // first, so a later hand wakes us again
    decltype(Shared::accepted) accepted;
    decltype(Shared::answers) answers;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->goingAway) return false;
        accepted.swap(shared_->accepted);
        answers.swap(shared_->answers);
    }
    for (auto& [fd, at] : accepted) {
        if (!peerIsOurUser(fd.get())) continue;  // another user: closed without a reply
        Connection connection;
        connection.fd = std::move(fd);
        connection.deadline = after(at, limits_.requestTimeout);
        connections_.emplace(nextID_++, std::move(connection));
    }
    for (auto& answer : answers) {
        const auto entry = connections_.find(answer.id);
        // Gone, or already answered by the time-out.
        if (entry == connections_.end() || entry->second.phase != Phase::answering) continue;
        if (answer.line) {
            write(entry, std::move(*answer.line));
        } else {
            connections_.erase(entry);
        }
    }
    return true;
}

void ControlConnections::Poller::expire(Clock::time_point now) {
    for (auto entry = connections_.begin(); entry != connections_.end();) {
        const auto current = entry++;  // `current` may be erased
        if (current->second.deadline > now) continue;
        switch (current->second.phase) {
            case Phase::reading:
                request(current);  // what arrived in time is the request
                break;
            case Phase::answering:
                write(current, failureLine(ControlMessage::kNoAnswerInTime));
                break;
            case Phase::writing:
            case Phase::watching:
                connections_.erase(current);
                break;
        }
    }
}

void ControlConnections::Poller::serve(Entry entry, short revents) {
    switch (entry->second.phase) {
        case Phase::reading:
            read(entry);
            break;
        case Phase::answering:
            // Only a hang-up or an error is reported here: nobody is left to answer.
            connections_.erase(entry);
            break;
        case Phase::writing:
            flush(entry);
            break;
        case Phase::watching:
            drain(entry, revents);
            break;
    }
}

void ControlConnections::Poller::read(Entry entry) {
    Connection& connection = entry->second;
    char chunk[ControlRequestReader::kChunkBytes];
    while (const std::size_t room = connection.reader.wanted()) {
        const ssize_t got = ::recv(connection.fd.get(), chunk, room, MSG_DONTWAIT);
        if (got > 0) {
            connection.reader.append({chunk, static_cast<std::size_t>(got)});
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return;  // more may come before the deadline
        break;                                   // the client ended its side, or the read failed
    }
    request(entry);
}

void ControlConnections::Poller::request(Entry entry) {
    auto parsed = entry->second.reader.request();
    if (!parsed) {
        write(entry, failureLine(ControlMessage::kUnreadableRequest));
        return;
    }
    const auto command = parsed->find("command");
    if (command != parsed->end() && *command == "watch") {
        WatchHandler onWatch;
        {
            std::lock_guard lock(shared_->mutex);
            onWatch = shared_->watchHandler;
        }
        if (onWatch) {
            watch(entry, std::move(*parsed), std::move(onWatch));
            return;
        }
    }
    entry->second.phase = Phase::answering;
    entry->second.deadline = after(Clock::now(), limits_.answerTimeout);
    const std::weak_ptr<Shared> weak = shared_;
    Reply reply = [weak, id = entry->first, claimed = std::make_shared<std::atomic<bool>>(false)](
                      const nlohmann::json& message) {
        if (claimed->exchange(true)) return;
        auto line = ControlMessage::serializeLine(message);
        if (auto shared = weak.lock()) {
            shared->hand([&] { shared->answers.push_back({id, std::move(line)}); });
        }
    };
    shared_->loop.post([weak, request = std::move(*parsed), reply = std::move(reply)] {
        if (auto shared = weak.lock()) shared->handler(request, reply);
    });
}

void ControlConnections::Poller::watch(Entry entry, nlohmann::json request, WatchHandler onWatch) {
    if (watching_ >= limits_.watchLimit) {
        write(entry, failureLine(ControlMessage::kTooManyWatches));
        return;
    }
    ++watching_;
    Connection& connection = entry->second;
    connection.stream =
        std::make_shared<ControlStream>(std::move(connection.fd), limits_.writeTimeout);
    connection.phase = Phase::watching;
    connection.deadline = Clock::time_point::max();
    shared_->loop.post([weak = std::weak_ptr<Shared>(shared_), request = std::move(request),
                        onWatch = std::move(onWatch), stream = connection.stream] {
        if (weak.lock()) onWatch(request, stream);
    });
}

void ControlConnections::Poller::write(Entry entry, std::string line) {
    if (line.empty()) {
        connections_.erase(entry);  // a reply that cannot be serialised: closing tells the client
        return;
    }
    Connection& connection = entry->second;
    connection.phase = Phase::writing;
    connection.out = std::move(line);
    connection.sent = 0;
    connection.deadline = after(Clock::now(), limits_.writeTimeout);
    flush(entry);
}

void ControlConnections::Poller::flush(Entry entry) {
    Connection& connection = entry->second;
    while (connection.sent < connection.out.size()) {
        const ssize_t sent =
            ::send(connection.fd.get(), connection.out.data() + connection.sent,
                   connection.out.size() - connection.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            connection.sent += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && errno == EAGAIN) return;  // the rest when the client makes room
        break;
    }
    connections_.erase(entry);  // written whole, or the client is gone
}

// Discards what a watching client sends, one chunk a turn so that it cannot hold the thread.
// The end of its side, or the app closing the stream (which shuts the socket down), ends it.
void ControlConnections::Poller::drain(Entry entry, short revents) {
    char chunk[ControlRequestReader::kChunkBytes];
    const ssize_t got = ::recv(entry->second.stream->client(), chunk, sizeof chunk, MSG_DONTWAIT);
    if (got > 0) return;
    if (got < 0 && (errno == EINTR || errno == EAGAIN) && (revents & (POLLHUP | POLLERR)) == 0)
        return;
    entry->second.stream->finish();
    --watching_;
    connections_.erase(entry);
}

ControlConnections::ControlConnections(MainLoop& loop, Handler handler, Limits limits)
    : shared_(std::make_shared<Shared>(loop, std::move(handler), limits)) {
    if (!shared_->wake) return;
    thread_ = std::thread([shared = shared_] {
        nameCurrentThread("quillon.orvel.control");
        Poller(shared).run();
    });
}

ControlConnections::~ControlConnections() {
    shared_->hand([&] { shared_->goingAway = true; });
    if (thread_.joinable()) thread_.join();
    // A main-loop item may keep the shared part a while; the connections go now.
    std::lock_guard lock(shared_->mutex);
    shared_->accepted.clear();
}

ControlConnections::operator bool() const {
    return static_cast<bool>(shared_->wake);
}

void ControlConnections::setWatchHandler(WatchHandler watchHandler) {
    std::lock_guard lock(shared_->mutex);
    shared_->watchHandler = std::move(watchHandler);
}

void ControlConnections::add(UniqueFd client) {
    if (!client) return;
    const auto now = Clock::now();
    shared_->hand([&] { shared_->accepted.emplace_back(std::move(client), now); });
}

}  // namespace orvel

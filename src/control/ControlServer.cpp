#include "control/ControlServer.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <set>
#include <utility>

#include "control/ControlRequestReader.hpp"
#include "control/PendingReply.hpp"
#include "control/SocketIo.hpp"
#include "core/ControlMessage.hpp"
#include "platform/ThreadName.hpp"

namespace orvel {
namespace {

// Sixteen watches each hold a worker for their whole life; the rest serve ordinary requests.
constexpr std::size_t kOrdinaryWorkers = 48;

std::chrono::steady_clock::time_point deadlineAfter(double seconds) {
    return std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
               std::chrono::duration<double>(seconds));
}

}  // namespace

// What the serving workers and the main-loop work items share. Outlives the server only
// while a main-loop item or a reply callback still holds it; it owns no thread.
struct ControlServer::Shared : std::enable_shared_from_this<Shared> {
    Shared(MainLoop& mainLoop, Handler onRequest, Limits serverLimits)
        : loop(mainLoop),
          handler(std::move(onRequest)),
          limits(serverLimits),
          wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    void serve(UniqueFd client);
    void answer(UniqueFd client, nlohmann::json request);
    void watch(UniqueFd client, nlohmann::json request, WatchHandler onWatch);
    void drain(ControlStream& stream);
    void reply(const UniqueFd& client, const nlohmann::json& message);
    // Ends every wait of the workers; they then close their connections without writing.
    void goAway();

    // Immutable.
    MainLoop& loop;
    const Handler handler;
    const Limits limits;
    const UniqueFd wake;  // readable once the server is going away

    // Guarded by mutex.
    mutable std::mutex mutex;
    WatchHandler watchHandler;
    std::size_t watching = 0;
    bool goingAway = false;
    std::set<PendingReply*> pending;
};

void ControlServer::Shared::serve(UniqueFd client) {
    {
        std::lock_guard lock(mutex);
        if (goingAway) return;
    }
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(client.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        peer.uid != ::getuid()) {
        return;  // another user: no reply at all
    }

    ControlRequestReader reader;
    char chunk[ControlRequestReader::kChunkBytes];
    while (const std::size_t room = reader.wanted()) {
        const auto wait =
            SocketIo::waitFor(client.get(), POLLIN, wake.get(), limits.receiveTimeout);
        if (wait == SocketIo::Wait::woken) return;
        if (wait != SocketIo::Wait::ready) break;
        const ssize_t got = ::recv(client.get(), chunk, room, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) break;
        reader.append({chunk, static_cast<std::size_t>(got)});
    }
    auto request = reader.request();
    if (!request) {
        reply(client, ControlMessage::failure(ControlMessage::kUnreadableRequest));
        return;
    }

    WatchHandler watchHandlerNow;
    const auto command = request->find("command");
    if (command != request->end() && *command == "watch") {
        std::lock_guard lock(mutex);
        watchHandlerNow = watchHandler;
    }
    if (watchHandlerNow) {
        watch(std::move(client), std::move(*request), std::move(watchHandlerNow));
    } else {
        answer(std::move(client), std::move(*request));
    }
}

void ControlServer::Shared::answer(UniqueFd client, nlohmann::json request) {
    auto once = std::make_shared<PendingReply>();
    {
        std::lock_guard lock(mutex);
        if (goingAway) return;
        pending.insert(once.get());
    }
    Reply replyCallback = [weakOnce = std::weak_ptr<PendingReply>(once)](nlohmann::json message) {
        if (auto target = weakOnce.lock()) target->offer(std::move(message));
    };
    loop.post([weak = weak_from_this(), request = std::move(request),
               replyCallback = std::move(replyCallback)] {
        if (auto self = weak.lock()) self->handler(request, replyCallback);
    });

    auto answered = once->wait(deadlineAfter(limits.answerTimeout));
    {
        std::lock_guard lock(mutex);
        pending.erase(once.get());
    }
    switch (answered.outcome) {
        case PendingReply::Outcome::replied:
            reply(client, answered.reply);
            break;
        case PendingReply::Outcome::timedOut:
            reply(client, ControlMessage::failure(ControlMessage::kNoAnswerInTime));
            break;
        case PendingReply::Outcome::abandoned:
            break;
    }
}

void ControlServer::Shared::watch(UniqueFd client, nlohmann::json request, WatchHandler onWatch) {
    {
        std::unique_lock lock(mutex);
        if (goingAway) return;
        if (watching >= limits.watchLimit) {
            lock.unlock();
            reply(client, ControlMessage::failure(ControlMessage::kTooManyWatches));
            return;
        }
        ++watching;
    }
    auto stream = std::make_shared<ControlStream>(std::move(client), limits.writeTimeout);
    loop.post([weak = weak_from_this(), request = std::move(request), onWatch = std::move(onWatch),
               stream] {
        if (weak.lock()) onWatch(request, stream);
    });
    drain(*stream);
    stream->finish();
    std::lock_guard lock(mutex);
    --watching;
}

// Reads and discards until the client leaves, the app closes the stream (its shutdown ends
// our read at once) or the server goes away.
void ControlServer::Shared::drain(ControlStream& stream) {
    char chunk[ControlRequestReader::kChunkBytes];
    for (;;) {
        const auto wait =
            SocketIo::waitFor(stream.client(), POLLIN, wake.get(), limits.receiveTimeout);
        if (wait == SocketIo::Wait::woken || wait == SocketIo::Wait::failed) return;
        if (wait == SocketIo::Wait::ready) {
            const ssize_t got = ::recv(stream.client(), chunk, sizeof chunk, MSG_DONTWAIT);
            if (got == 0) return;
            if (got < 0 && errno != EINTR && errno != EAGAIN) return;
        }
        if (stream.isClosed()) return;
    }
}

void ControlServer::Shared::reply(const UniqueFd& client, const nlohmann::json& message) {
    // A reply that cannot be serialised is not sent; closing tells the client.
    if (auto line = ControlMessage::serializeLine(message)) {
        SocketIo::sendAll(client.get(), *line, limits.writeTimeout, wake.get());
    }
}

void ControlServer::Shared::goAway() {
    {
        std::lock_guard lock(mutex);
        goingAway = true;
        for (PendingReply* once : pending) once->abandon();
    }
    ::eventfd_write(wake.get(), 1);
}

ControlServer::ControlServer(MainLoop& loop, std::string path, Handler handler)
    : ControlServer(loop, std::move(path), std::move(handler), Limits{}) {}

ControlServer::ControlServer(MainLoop& loop, std::string path, Handler handler, Limits limits)
    : path_(std::move(path)),
      shared_(std::make_shared<Shared>(loop, std::move(handler), limits)),
      queue_(std::make_unique<ConcurrentQueue>("quillon.orvel.control",
                                               limits.watchLimit + kOrdinaryWorkers,
                                               limits.idleWorkerTimeout)) {}

ControlServer::~ControlServer() {
    stop();
    shared_->goAway();
    queue_.reset();  // runs what is queued (it finds the server going away) and joins
}

void ControlServer::setWatchHandler(WatchHandler watchHandler) {
    std::lock_guard lock(shared_->mutex);
    shared_->watchHandler = std::move(watchHandler);
}

std::optional<std::string> ControlServer::start() {
    if (listener_) return std::nullopt;
    if (!shared_->wake) return "Could not create an event descriptor for the control server.";
    auto listener = ControlListener::open(path_);
    if (!listener) return listener.error();
    UniqueFd stopAccepting(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stopAccepting) return "Could not create an event descriptor for the control server.";
    listener_ = std::move(*listener);
    stopAccepting_ = std::move(stopAccepting);
    // `this` is safe: stop() joins the thread before the listener or the queue go away.
    acceptThread_ = std::thread([this] {
        nameCurrentThread("Orvel control");
        acceptLoop();
    });
    return std::nullopt;
}

void ControlServer::stop() {
    if (!listener_) return;
    ::eventfd_write(stopAccepting_.get(), 1);
    if (acceptThread_.joinable()) acceptThread_.join();
    stopAccepting_.reset();
    listener_.close();
}

void ControlServer::acceptLoop() {
    const std::weak_ptr<Shared> weak = shared_;
    for (;;) {
        const auto wait = SocketIo::waitFor(listener_.fd(), POLLIN, stopAccepting_.get(), -1);
        if (wait != SocketIo::Wait::ready) return;
        const int client = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            queue_->async([weak, client] {
                UniqueFd connection(client);
                if (auto shared = weak.lock()) shared->serve(std::move(connection));
            });
            continue;
        }
        switch (errno) {
            case EINTR:
            case EAGAIN:
            case ECONNABORTED:
            case EPROTO:
                continue;
            case EMFILE:
            case ENFILE:
            case ENOBUFS:
            case ENOMEM:
                // Out of descriptors or memory for now: back off instead of giving up for good.
                if (SocketIo::waitFor(stopAccepting_.get(), POLLIN, -1, 0.1) !=
                    SocketIo::Wait::timedOut) {
                    return;
                }
                continue;
            default:
                return;
        }
    }
}

}  // namespace orvel

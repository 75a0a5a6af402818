#include "control/ControlServer.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <cerrno>
#include <utility>

#include "control/SocketIo.hpp"
#include "platform/ThreadName.hpp"

namespace orvel {

ControlServer::ControlServer(MainLoop& loop, std::string path, Handler handler)
    : ControlServer(loop, std::move(path), std::move(handler), Limits{}) {}

ControlServer::ControlServer(MainLoop& loop, std::string path, Handler handler, Limits limits)
    : path_(std::move(path)), connections_(loop, std::move(handler), limits) {}

ControlServer::~ControlServer() {
    stop();  // the connections go after, with the members
}

void ControlServer::setWatchHandler(WatchHandler watchHandler) {
    connections_.setWatchHandler(std::move(watchHandler));
}

std::optional<std::string> ControlServer::start() {
    if (listener_) return std::nullopt;
    if (!connections_) return "Could not create an event descriptor for the control server.";
    auto listener = ControlListener::open(path_);
    if (!listener) return listener.error();
    UniqueFd stopAccepting(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stopAccepting) return "Could not create an event descriptor for the control server.";
    listener_ = std::move(*listener);
    stopAccepting_ = std::move(stopAccepting);
    // `this` is safe: stop() joins the thread before the listener or the connections go.
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
    for (;;) {
        const auto wait = SocketIo::waitFor(listener_.fd(), POLLIN, stopAccepting_.get(), -1);
        if (wait != SocketIo::Wait::ready) return;
        const int client =
            ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client >= 0) {
            connections_.add(UniqueFd(client));
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

#include "control/ControlStream.hpp"

#include <sys/socket.h>

#include <future>
#include <string>

#include "control/SocketIo.hpp"
#include "core/ControlMessage.hpp"

namespace orvel {

ControlStream::ControlStream(UniqueFd client, double writeTimeout)
    : client_(client.get()), state_(std::make_shared<State>()), queue_("quillon.orvel.watch") {
    state_->fd = std::move(client);
    state_->writeTimeout = writeTimeout;
}

ControlStream::~ControlStream() {
    close();
}

void ControlStream::State::closeLocked() {
    if (!closed && fd) ::shutdown(fd.get(), SHUT_RDWR);
    closed = true;
}

void ControlStream::send(const nlohmann::json& message) {
    auto line = ControlMessage::serializeLine(message);
    if (!line || isClosed()) return;
    queue_.async([state = state_, line = std::move(*line)] {
        int fd;
        {
            std::lock_guard lock(state->mutex);
            if (state->closed) return;
            fd = state->fd.get();
        }
        // finish() releases the descriptor only after this item ran, so it stays valid here.
        if (!SocketIo::sendAll(fd, line, state->writeTimeout, -1)) {
            std::lock_guard lock(state->mutex);
            state->closeLocked();
        }
    });
}

void ControlStream::close() {
    std::lock_guard lock(state_->mutex);
    state_->closeLocked();
}

void ControlStream::closeAfterSending() {
    queue_.async([state = state_] {
        std::lock_guard lock(state->mutex);
        state->closeLocked();
    });
}

bool ControlStream::isClosed() const {
    std::lock_guard lock(state_->mutex);
    return state_->closed;
}

void ControlStream::finish() {
    close();
    std::promise<void> drained;
    queue_.async([&drained] { drained.set_value(); });
    drained.get_future().wait();
    std::lock_guard lock(state_->mutex);
    state_->fd.reset();
}

}  // namespace orvel

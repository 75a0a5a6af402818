#include "control/ControlStream.hpp"

#include <sys/socket.h>

#include <string>

#include "control/SocketIo.hpp"
#include "core/ControlMessage.hpp"

namespace orvel {

ControlStream::ControlStream(UniqueFd client, double writeTimeout)
    : client_(client.get()),
      state_(std::make_shared<State>()),
      queue_(std::make_unique<SerialQueue>("quillon.orvel.watch")) {
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

void ControlStream::post(std::function<void()> work) {
    std::lock_guard lock(queueMutex_);
    if (queue_) queue_->async(std::move(work));
}

void ControlStream::send(const nlohmann::json& message) {
    auto line = ControlMessage::serializeLine(message);
    if (!line || isClosed()) return;
    post([state = state_, line = std::move(*line)] {
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
    post([state = state_] {
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
    std::unique_ptr<SerialQueue> queue;
    {
        std::lock_guard lock(queueMutex_);
        queue = std::move(queue_);
    }
    queue.reset();  // runs the writes still queued (they find the stream closed), then joins
    std::lock_guard lock(state_->mutex);
    state_->fd.reset();
}

}  // namespace orvel

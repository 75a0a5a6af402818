#pragma once
// ControlStream: one open `orvel watch` connection, through which the app pushes a line each
// time the watched TV changes. Writes run in order on the stream's own queue
// "quillon.orvel.watch", each sent whole within the write time-out; a write that fails or
// times out closes the stream, and nothing is written after that.
//
//   watchHandler = [](const nlohmann::json& request, std::shared_ptr<ControlStream> stream) {
//       stream->send({{"ok", true}, {"tv", summary}});   // any thread, never blocks
//   };
//
// Shared by the app (any thread) and the server's polling thread, which calls finish() when
// the client goes, the app closes the stream, or the server goes away. finish() also ends the
// queue's thread, since the app may hold the stream a while longer; destroying the stream
// before that runs the writes still queued (they find the stream closed) and joins its queue.

#include <functional>
#include <memory>
#include <mutex>

#include <nlohmann/json.hpp>

#include "platform/SerialQueue.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {

class ControlStream {
public:
    explicit ControlStream(UniqueFd client, double writeTimeout = 10.0);
    ~ControlStream();
    ControlStream(const ControlStream&) = delete;
    ControlStream& operator=(const ControlStream&) = delete;

    // Queues the message as one line; does nothing when it cannot be serialised or the
    // stream is closed.
    void send(const nlohmann::json& message);
    // Ends the stream now: nothing more is written, not even lines still queued, and the
    // client sees its end.
    void close();
    // Ends the stream once the lines queued so far are written (a last error line, say).
    void closeAfterSending();
    bool isClosed() const;

    // The server's polling thread only (never the stream's queue): closes, waits for the
    // queued writes, ends the queue, then releases the descriptor.
    void finish();
    // The connection, for the polling thread's reads until finish().
    int client() const { return client_; }

private:
    // What queued writes need; they hold it, not the stream, so that the stream is never
    // destroyed on its own queue.
    struct State {
        mutable std::mutex mutex;
        bool closed = false;  // guarded by mutex
        UniqueFd fd;          // released under mutex, only by finish()
        double writeTimeout;
        void closeLocked();
    };

    void post(std::function<void()> work);

    int client_;
    std::shared_ptr<State> state_;
    std::mutex queueMutex_;
    std::unique_ptr<SerialQueue> queue_;  // guarded by queueMutex_; none after finish()
};

}  // namespace orvel

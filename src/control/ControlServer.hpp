#pragma once
// ControlServer: the app's end of the control socket. Accepts connections on the thread
// "Orvel control", reads one request per connection on the queue "quillon.orvel.control" and
// hands it to the main loop: an ordinary request to `handler`, whose reply callback (any
// thread) answers it once; a watch to `watchHandler` with a ControlStream for its lines.
// Only peers of our own user are served. Every ordinary request gets exactly one reply line:
// the handler's first, or the time-out answer once `answerTimeout` passed.
//
//   ControlServer server(loop, *ControlChannel::socketPath(), handler);
//   server.setWatchHandler(watchHandler);
//   if (auto error = server.start()) log(*error);
//
// Owner: the app, on the main loop thread; `loop` must outlive the server. stop() closes and
// removes the socket; open connections carry on. Destruction stops, drops pending requests
// and watches without writing to them, and joins every thread it started.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "control/ControlListener.hpp"
#include "control/ControlStream.hpp"
#include "platform/ConcurrentQueue.hpp"
#include "platform/MainLoop.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {

class ControlServer {
public:
    using Reply = std::function<void(nlohmann::json reply)>;
    using Handler = std::function<void(const nlohmann::json& request, Reply reply)>;
    using WatchHandler =
        std::function<void(const nlohmann::json& request, std::shared_ptr<ControlStream> stream)>;

    // Seconds and counts; the app always runs with these values, tests shorten them.
    struct Limits {
        double receiveTimeout = 5.0;  // per read of a request; also how often a watch checks
        double answerTimeout = 32.0;  // until "The TV didn't answer in time."
        double writeTimeout = 10.0;   // to send one whole reply or watch line
        std::size_t watchLimit = 16;
        double idleWorkerTimeout = 3.0;  // a worker thread with nothing to do ends after this
    };

    ControlServer(MainLoop& loop, std::string path, Handler handler);
    ControlServer(MainLoop& loop, std::string path, Handler handler, Limits limits);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Any thread; applies to watches read from now on. Without one, a watch request goes to
    // `handler` like any other.
    void setWatchHandler(WatchHandler watchHandler);

    // Prepares the folder and the socket, listens, starts the accept thread. Nothing on
    // success (also when already listening), else one sentence saying what failed.
    [[nodiscard]] std::optional<std::string> start();
    // Closes and removes the socket and ends the accept thread. A second call does nothing.
    void stop();

private:
    struct Shared;

    void acceptLoop();

    std::string path_;
    std::shared_ptr<Shared> shared_;  // work items hold it weakly
    std::unique_ptr<ConcurrentQueue> queue_;
    ControlListener listener_;
    UniqueFd stopAccepting_;  // eventfd: readable once stop() wants the accept thread gone
    std::thread acceptThread_;
};

}  // namespace orvel

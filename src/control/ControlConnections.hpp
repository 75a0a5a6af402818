#pragma once
// ControlConnections: every accepted control connection, served from accept to its end by one
// thread ("quillon.orvel.control") that polls them all. Nothing here blocks on one client, so
// no client can delay another, and the threads do not grow with the clients. A connection has
// one deadline at a time: the whole request within `requestTimeout` of its accept, then the
// handler's answer within `answerTimeout` (else "The TV didn't answer in time."), then the
// whole reply line written within `writeTimeout`. Only peers of our own user are served.
//
//   ControlConnections connections(loop, handler, limits);
//   connections.add(UniqueFd(accept4(...SOCK_NONBLOCK...)));   // the accept thread
//
// An ordinary request goes to `handler` on the main loop; its reply callback (any thread)
// answers once, later calls are dropped. A watch goes to the watch handler with a
// ControlStream for its lines (at most `watchLimit` at once); its end, by the client or by the
// app closing the stream, is noticed at once. Owner: ControlServer; add() and
// setWatchHandler() from any thread. Destruction drops every connection without writing,
// finishes the watch streams and joins the thread; main-loop items hold it weakly.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

#include <nlohmann/json.hpp>

#include "control/ControlStream.hpp"
#include "platform/MainLoop.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {

class ControlConnections {
public:
    using Reply = std::function<void(nlohmann::json reply)>;
    using Handler = std::function<void(const nlohmann::json& request, Reply reply)>;
    using WatchHandler =
        std::function<void(const nlohmann::json& request, std::shared_ptr<ControlStream> stream)>;

    // Seconds and counts; the app always runs with these values, tests shorten them.
    struct Limits {
        double requestTimeout = 5.0;  // from accept to the request's last byte
        double answerTimeout = 32.0;  // until "The TV didn't answer in time."
        double writeTimeout = 10.0;   // to send one whole reply or watch line
        std::size_t watchLimit = 16;
    };

    ControlConnections(MainLoop& loop, Handler handler, Limits limits);
    ~ControlConnections();
    ControlConnections(const ControlConnections&) = delete;
    ControlConnections& operator=(const ControlConnections&) = delete;

    // False when no event descriptor could be made; nothing is served then.
    explicit operator bool() const;
    void setWatchHandler(WatchHandler watchHandler);
    // Takes a freshly accepted, non-blocking connection; its request deadline starts now.
    void add(UniqueFd client);

private:
    struct Shared;
    class Poller;

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace orvel

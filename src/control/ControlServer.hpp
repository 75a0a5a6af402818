#pragma once
// ControlServer: the app's end of the control socket. Accepts connections on the thread
// "Orvel control" and hands each to ControlConnections, whose one polling thread reads its
// request, passes it to the main loop and writes the answer: an ordinary request goes to
// `handler`, whose reply callback (any thread) answers it once; a watch to `watchHandler`
// with a ControlStream for its lines. Only peers of our own user are served. Every ordinary
// request gets exactly one reply line: the handler's first, or the time-out answer once
// `answerTimeout` passed. No client, however slow, delays another.
//
//   ControlServer server(loop, *ControlChannel::socketPath(), handler);
//   server.setWatchHandler(watchHandler);
//   if (auto error = server.start()) log(*error);   // ControlListener::kAlreadyRunning too
//
// Owner: the app, on the main loop thread; `loop` must outlive the server. stop() closes and
// removes the socket; open connections carry on. Destruction stops, drops pending requests
// and watches without writing to them, and joins every thread it started.

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "control/ControlConnections.hpp"
#include "control/ControlListener.hpp"
#include "control/ControlStream.hpp"
#include "platform/MainLoop.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {

class ControlServer {
public:
    using Reply = ControlConnections::Reply;
    using Handler = ControlConnections::Handler;
    using WatchHandler = ControlConnections::WatchHandler;
    using Limits = ControlConnections::Limits;

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
    void acceptLoop();

    std::string path_;
    ControlConnections connections_;
    ControlListener listener_;
    UniqueFd stopAccepting_;  // eventfd: readable once stop() wants the accept thread gone
    std::thread acceptThread_;
};

}  // namespace orvel

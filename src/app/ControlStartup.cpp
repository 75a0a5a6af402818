#include "app/ControlStartup.hpp"

#include <syslog.h>

#include <cstdio>
#include <utility>

namespace orvel::ControlStartup {

std::string unavailableMessage(const std::string& error) {
    return "Orvel: the orvel command is unavailable (" + error + ")";
}

bool isAlreadyRunning(const std::string& error) {
    return error == ControlListener::kAlreadyRunning;
}

void logUnavailable(const std::string& error) {
    if (isAlreadyRunning(error)) {
        static_cast<void>(std::fprintf(stderr, "%s\n", error.c_str()));
        return;
    }
    const std::string line = unavailableMessage(error);
    ::syslog(LOG_ERR, "%s", line.c_str());
    static_cast<void>(std::fprintf(stderr, "%s\n", line.c_str()));
}

std::unique_ptr<ControlServer> start(MainLoop& loop, const std::optional<std::string>& path,
                                     ControlServer::Handler handler,
                                     ControlServer::WatchHandler watchHandler,
                                     const std::function<void(const std::string&)>& log,
                                     const ControlServer::Limits& limits) {
    if (!path) {
        log("No folder is known for the socket: neither XDG_DATA_HOME nor HOME is an absolute "
            "path.");
        return nullptr;
    }
    auto server = std::make_unique<ControlServer>(loop, *path, std::move(handler), limits);
    if (watchHandler) server->setWatchHandler(std::move(watchHandler));
    if (auto error = server->start()) {
        log(*error);
        return nullptr;
    }
    return server;
}

}  // namespace orvel::ControlStartup

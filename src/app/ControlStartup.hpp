#pragma once
// ControlStartup: starting the control socket at launch. A socket that cannot start is said
// once, in the system log and on standard error; what follows is the caller's choice (an app
// with an interface runs on without it, the headless app gives up). Another app serving the same
// profile is no failure of the socket: only the sentence goes to standard error.
//
//   auto control = ControlStartup::start(loop, ControlChannel::socketPath(), handler, watch,
//                                        ControlStartup::logUnavailable);
//
// Main thread, once at launch. The server it returns is the caller's; stop it before the
// session shuts down so that no request reaches a session that is going away.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "control/ControlServer.hpp"

namespace orvel::ControlStartup {

// "Orvel: the orvel command is unavailable (" + error + ")"
std::string unavailableMessage(const std::string& error);

// True when `error` says that another app already serves this profile.
bool isAlreadyRunning(const std::string& error);

// Writes unavailableMessage(error) to the system log and to standard error; the sentence
// alone, on standard error only, when isAlreadyRunning(error).
void logUnavailable(const std::string& error);

// The listening server, or null after `log` was given the reason. `path` is none when no
// folder for the socket is known.
std::unique_ptr<ControlServer> start(MainLoop& loop, const std::optional<std::string>& path,
                                     ControlServer::Handler handler,
                                     ControlServer::WatchHandler watchHandler,
                                     const std::function<void(const std::string&)>& log,
                                     const ControlServer::Limits& limits = {});

}  // namespace orvel::ControlStartup

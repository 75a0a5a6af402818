// OrvelRemote: the application. For now it always runs headless: the TV session on the main
// loop and the control socket for the orvel tool, with no interface, until SIGINT or SIGTERM.
// Quitting removes the socket, then shuts the session down, which stops the bridge child,
// and waits for the child to go (4 seconds at most); a second signal quits at once.
//
//   OrvelRemote --headless [--demo]

#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/ControlStartup.hpp"
#include "app/LaunchOptions.hpp"
#include "app/ShutdownSignals.hpp"
#include "control/ControlHandler.hpp"
#include "core/ControlChannel.hpp"
#include "platform/AppPaths.hpp"
#include "platform/CredentialStores.hpp"
#include "platform/Defaults.hpp"
#include "platform/LoginItem.hpp"
#include "platform/PollLoop.hpp"
#include "platform/Signals.hpp"
#include "session/AppStore.hpp"
#include "session/BridgeClient.hpp"
#include "session/LoginItemService.hpp"

namespace {

constexpr double kChildGrace = 4.0;  // the bridge client kills its child by then
constexpr double kChildPoll = 0.05;

// True while a child of ours has not exited; a finished one is left for its owner to reap.
bool childRunning() {
    siginfo_t info{};
    if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;  // ECHILD
    return info.si_pid == 0;
}

}  // namespace

int main(int argc, char** argv) {
    orvel::ignoreSigpipe();
    orvel::ShutdownSignals signals;  // before any thread starts
    if (!signals.error().empty()) {
        std::fprintf(stderr, "OrvelRemote: %s\n", signals.error().c_str());
        return 1;
    }
    const auto options =
        orvel::LaunchOptions::parse({argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)});
    // Without an interface yet, every launch runs headless, with or without a display.

    orvel::PollLoop loop;
    const auto environment = orvel::AppPaths::processEnvironment();
    orvel::Defaults defaults(orvel::AppPaths::defaultsFile(environment).value_or(""));
    // The keyring when one answers, else the private file; the settings will show which.
    auto credentials = orvel::CredentialStores::open(environment);
    orvel::LoginItemService login(
        orvel::LoginItem(orvel::AppPaths::autostartEntryFile(environment).value_or(""),
                         orvel::LoginItem::runningExecutable()));
    std::unique_ptr<orvel::BridgeTransport> bridge;
    if (!options.demo) bridge = std::make_unique<orvel::BridgeClient>(loop);
    auto store = orvel::AppStore::create({.loop = loop,
                                          .defaults = defaults,
                                          .credentials = *credentials.store,
                                          .login = login,
                                          .bridge = std::move(bridge),
                                          .demo = options.demo});

    // Headless: there is no remote to open.
    auto handler = orvel::ControlHandler::create(loop, store, [] {});
    std::unique_ptr<orvel::ControlServer> control;
    bool quitting = false;
    double deadline = 0;
    orvel::CancelHandle childWait;
    std::function<void()> waitForChild = [&] {
        if (!childRunning() || loop.now() >= deadline) {
            loop.quit();
            return;
        }
        childWait = loop.postAfter(kChildPoll, waitForChild);
    };
    auto signalWatch = signals.watch(loop, [&] {
        if (quitting) {
            loop.quit();  // asked twice: do not wait for the child any longer
            return;
        }
        quitting = true;
        // The socket goes first (its file removed), so no request reaches a closing session.
        if (control) control->stop();
        store->shutdown();
        deadline = loop.now() + kChildGrace;
        waitForChild();
    });

    if (!options.demo) {
        store->start();
        control = orvel::ControlStartup::start(loop, orvel::ControlChannel::socketPath(),
                                               handler->requestHandler(), handler->watchHandler(),
                                               orvel::ControlStartup::logUnavailable);
    }
    loop.run();
    // The store and its bridge go first, on this thread; the loop last, with the timers that
    // still hold a stopped child (its owner kills and reaps it if it is somehow still there).
    childWait.cancel();
    signalWatch.cancel();
    control.reset();  // joins its threads; nothing it runs may outlive the store
    handler.reset();
    store.reset();
    return 0;
}

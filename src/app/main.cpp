// OrvelRemote: the application. For now it always runs headless: the TV session on the main
// loop and the control socket for the orvel tool, with no interface, until SIGINT or SIGTERM
// (see HeadlessApp for the quit sequence).
//
//   OrvelRemote --headless [--demo]

#include <cstdio>

#include "app/HeadlessApp.hpp"
#include "app/LaunchOptions.hpp"
#include "app/ShutdownSignals.hpp"
#include "platform/PollLoop.hpp"
#include "platform/Signals.hpp"

int main(int argc, char** argv) {
    orvel::ignoreSigpipe();
    orvel::ShutdownSignals signals;  // before any thread starts
    if (!signals.error().empty()) {
        static_cast<void>(std::fprintf(stderr, "OrvelRemote: %s\n", signals.error().c_str()));
        return 1;
    }
    const auto options =
        orvel::LaunchOptions::parse({argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)});
    // Without an interface yet, every launch runs headless, with or without a display.

    orvel::PollLoop loop;
    orvel::HeadlessApp app(loop, options, [&loop] { loop.quit(); });
    auto signalWatch = signals.watch(loop, [&app] { app.quit(); });
    if (!app.start()) return 1;  // another app serves this profile; it said so
    loop.run();
    signalWatch.cancel();
    return 0;
}

// OrvelRemote: the application. On a desktop it shows its icon in the system tray and the remote
// under it (DesktopApp); a second launch asks the first to show its remote and exits. With
// --headless, or without a display, it runs the TV session and the control socket for the orvel
// tool with no interface (HeadlessApp), saying on standard output when orvel can reach it and
// when it has quit. Both quit on SIGINT or SIGTERM; with a display, the global shortcut and Super
// with the media keys work as well, and where a session bus answers both are the desktop's
// media player for the TV (MediaPlayerService). --render-icon and --render-previews draw the
// icon set or the preview pictures, off screen, and quit before anything else starts.
//
//   OrvelRemote              # the tray application
//   OrvelRemote --headless
//   OrvelRemote --render-icon build/icons
//
// Exit status: 0 after quitting, --help or --version, and after rendering previews (even when
// that failed); 1 when it cannot run or the icon set could not be written; 2 for a usage
// error, which is found before any file, socket or child is touched.

#include <cstdio>
#include <optional>
#include <string>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include "app/DesktopApp.hpp"
#include "app/HeadlessApp.hpp"
#include "app/KeyBackends.hpp"
#include "app/LaunchOptions.hpp"
#include "app/MediaPlayerService.hpp"
#include "app/SessionSuspension.hpp"
#include "app/ShutdownSignals.hpp"
#include "platform/Signals.hpp"
#include "session/AppInfo.hpp"
#include "shell/NativePreviews.hpp"
#include "shell/OrvelMark.hpp"
#include "shell/PortalHotKeyBackend.hpp"
#include "shell/QtMainLoop.hpp"

namespace {

int fail(const std::string& sentence, int status) {
    static_cast<void>(std::fprintf(stderr, "OrvelRemote: %s\n", sentence.c_str()));
    return status;
}

void say(const std::string& line) {
    static_cast<void>(std::printf("%s\n", line.c_str()));
    static_cast<void>(std::fflush(stdout));  // read by scripts waiting for it
}

// Why the launch asks for something this build cannot do yet; empty when it can run.
std::string missingPart(const orvel::LaunchOptions& options, bool headless) {
    if (options.demo && headless) {
        return "The demo mode needs the remote's interface, which needs a display; for "
               "simulated TVs without one, run with ORVEL_SIMULATE=1.";
    }
    return {};
}

// The renderings need no display; a platform the caller chose is theirs.
void drawOffScreen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

int renderIcon(int argc, char** argv, const std::string& folder) {
    drawOffScreen();
    const QGuiApplication qt(argc, argv);
    if (const auto written = orvel::OrvelMark::writeIconSet(folder); !written) {
        static_cast<void>(
            std::fprintf(stderr, "Icon rendering failed: %s\n", written.error().c_str()));
        return 1;
    }
    return 0;
}

// Pictures for documentation: a failure is said but is no reason for a failing status.
int renderPreviews(int argc, char** argv, const std::string& folder) {
    drawOffScreen();
    const QApplication qt(argc, argv);
    if (const auto rendered = orvel::NativePreviews::render(folder); !rendered) {
        static_cast<void>(std::fprintf(stderr, "Native preview rendering failed: %s\n",
                                       rendered.error().c_str()));
    }
    return 0;
}

int runDesktop(int argc, char** argv, const orvel::LaunchOptions& options,
               orvel::ShutdownSignals& signals) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Orvel Remote");
    QApplication::setDesktopFileName(orvel::AppInfo::kDesktopId);
    QApplication::setQuitOnLastWindowClosed(false);  // the tray item stays
    if (const auto running = orvel::DesktopApp::openInRunningApp()) {
        if (!running->empty()) return fail(*running, 1);
        say("Orvel Remote is already running; its remote is open.");
        return 0;
    }
    orvel::QtMainLoop loop;
    auto watch = [&loop](int fd, auto onReadable) {
        return loop.watchReadable(fd, std::move(onReadable));
    };
    orvel::DesktopApp::Settings settings;
    settings.core.keyBackends = [&loop, watch] {
        // Without an X server of any kind only the portal can hold the shortcut. Where there
        // is one, its grab stays first: a portal may be on the bus without global shortcuts,
        // and would take the shortcut only to drop it.
        std::unique_ptr<orvel::HotKeyBackend> portal;
        if (orvel::KeyBackends::onWayland() && !orvel::KeyBackends::onX11())
            portal = std::make_unique<orvel::PortalHotKeyBackend>();
        return orvel::KeyBackends::forDisplay(loop, watch, std::move(portal));
    };
    orvel::DesktopApp app(
        loop, options, [&loop] { loop.quit(); }, std::move(settings));
    auto signalWatch = signals.watch(watch, [&app] { app.quit(); });
    if (!app.start()) return 1;
    loop.run();
    signalWatch.cancel();
    return 0;
}

// On Qt's loop without a window, so that sleep and locking reach the session over the
// system bus as they do with the interface.
int runHeadless(int argc, char** argv, const orvel::LaunchOptions& options,
                orvel::ShutdownSignals& signals) {
    QCoreApplication qt(argc, argv);
    orvel::QtMainLoop loop;
    auto watch = [&loop](int fd, auto onReadable) {
        return loop.watchReadable(fd, std::move(onReadable));
    };
    orvel::HeadlessApp::Settings settings;
    if (orvel::KeyBackends::hasDisplay()) {
        settings.keyBackends = [&loop, watch] {
            return orvel::KeyBackends::forDisplay(loop, watch);
        };
    } else if (options.mediaKeyDiagnostics) {
        static_cast<void>(std::fprintf(stderr,
                                       "OrvelRemote: Media keys need a display, and none is set, "
                                       "so no media-key diagnostics are written.\n"));
    }
    orvel::HeadlessApp app(
        loop, options, [&loop] { loop.quit(); }, std::move(settings));
    auto signalWatch = signals.watch(watch, [&app] { app.quit(); });
    // Headless, the socket is the app's only use: without it there is nothing to run for.
    const auto socket = app.start();
    if (!socket) return 1;
    std::optional<orvel::SessionSuspension> suspension(std::in_place, app, nullptr);
    // Where a session bus answers, the desktop's media controls drive the TV too.
    std::optional<orvel::MediaPlayerService> player(
        std::in_place, loop, app.store(),
        orvel::MediaPlayerService::Options{.quit = [&app] { app.quit(); }});
    say("Orvel Remote is ready: orvel reaches it at " + *socket + ".");
    loop.run();
    player.reset();
    suspension.reset();
    signalWatch.cancel();
    say("Orvel Remote has quit.");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options =
        orvel::LaunchOptions::parse({argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)});
    if (!options) return fail(options.error(), 2);
    if (options->help) {
        static_cast<void>(std::fputs(orvel::LaunchOptions::usage(), stdout));
        return 0;
    }
    if (options->version) {
        say("OrvelRemote " + std::string(orvel::AppInfo::version()));
        return 0;
    }
    // Before the display decides anything and before signals or threads: only the drawing runs.
    if (options->renderIcon) return renderIcon(argc, argv, *options->renderIcon);
    if (options->renderPreviews) return renderPreviews(argc, argv, *options->renderPreviews);
    const bool headless = options->headless || !orvel::KeyBackends::hasDisplay();
    if (const auto missing = missingPart(*options, headless); !missing.empty())
        return fail(missing, 1);

    orvel::ignoreSigpipe();
    orvel::ShutdownSignals signals;  // before any thread starts
    if (!signals.error().empty()) return fail(signals.error(), 1);
    if (!headless) return runDesktop(argc, argv, *options, signals);
    return runHeadless(argc, argv, *options, signals);
}

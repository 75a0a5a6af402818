#pragma once
// DesktopApp: the application with its interface. HeadlessApp's session, control socket and
// keys, with the tray item, the remote panel, the media player of the desktop's media controls
// and the sleep and session observers around them, on the Qt loop. The tray's click and the shortcut toggle the remote, `orvel open` opens it,
// scrolling on the icon steps the volume; sleep and a locked or inactive session close the
// remote and release the media keys (sleep also suspends the session until the wake).
//
//   QApplication qt(argc, argv);
//   QtMainLoop loop;
//   if (auto running = DesktopApp::openInRunningApp()) return running->empty() ? 0 : 1;
//   DesktopApp app(loop, options, [&] { loop.quit(); }, DesktopApp::Settings{});
//   if (!app.start()) return 1;
//   loop.run();
//
// Owner: main(). Thread: the GUI thread. Quitting (the tray's "Quit Orvel", a signal) stops the
// socket, shuts the session down, releases the keys and, once the bridge child is gone, takes
// the item off the tray and runs `finished`.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/HeadlessApp.hpp"
#include "app/LaunchOptions.hpp"
#include "session/Subscription.hpp"

namespace orvel {

class AppIconCache;
class BackgroundHttpTransport;
class MediaPlayerService;
class QtMainLoop;
class RemoteController;
class SessionSuspension;
class NoticesWindow;
class SettingsWindow;
class TrayItem;

class DesktopApp {
public:
    struct Settings {
        HeadlessApp::Settings core = {};
        // The session bus of the tray item and the media player; none: the process's own.
        std::optional<QString> trayBus = std::nullopt;
        // Sleep, wake and locking from logind on the system bus; off in tests.
        bool observeSession = true;
    };

    // Asks an app already serving this profile to show its remote. Nothing when none answered;
    // the empty text when it shows it; else why it cannot (a headless one has no remote).
    static std::optional<std::string> openInRunningApp();

    DesktopApp(QtMainLoop& loop, LaunchOptions options, std::function<void()> finished,
               Settings settings);
    ~DesktopApp();
    DesktopApp(const DesktopApp&) = delete;
    DesktopApp& operator=(const DesktopApp&) = delete;

    // The tray item, then the session, socket and keys, then the observers and the media
    // player; finally the remote with --show-remote or, with no paired TV, the settings. False
    // when the session could not start (the reason already said).
    bool start();
    void quit();

    void toggleRemote();
    // Closes the remote and brings the settings window forward, building it the first time.
    void showSettings();
    RemoteController& remote() { return *remote_; }
    // Null until the settings were first shown.
    SettingsWindow* settingsWindow() { return settings_.get(); }
    AppStore& store() { return core_.store(); }

private:
    void applyTrayPreference();
    void recordShortcut(std::uint32_t code, std::uint32_t modifiers, const std::string& characters);

    QtMainLoop& loop_;
    const LaunchOptions options_;
    std::function<void()> finished_;
    const std::optional<QString> trayBus_;
    const bool observeSession_;
    HeadlessApp core_;
    // The app icons of the remote: fetched off the loop, kept on disk.
    std::unique_ptr<BackgroundHttpTransport> iconHttp_;
    std::unique_ptr<AppIconCache> icons_;
    std::unique_ptr<TrayItem> tray_;
    std::unique_ptr<RemoteController> remote_;
    std::unique_ptr<SettingsWindow> settings_;
    std::unique_ptr<NoticesWindow> notices_;
    std::unique_ptr<SessionSuspension> observer_;
    std::unique_ptr<MediaPlayerService> mediaPlayer_;
    Subscription storeWatch_;
};

}  // namespace orvel

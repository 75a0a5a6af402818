#include "app/DesktopApp.hpp"

#include <QApplication>
#include <utility>

#include "app/AppIconCache.hpp"
#include "app/BackgroundHttpTransport.hpp"
#include "app/MediaPlayerService.hpp"
#include "app/SessionSuspension.hpp"
#include "cli/ToolConnection.hpp"
#include "core/ControlChannel.hpp"
#include "core/ControlMessage.hpp"
#include "platform/AppPaths.hpp"
#include "shell/Acknowledgements.hpp"
#include "shell/Clipboard.hpp"
#include "shell/CommandLineInstall.hpp"
#include "shell/NoticesWindow.hpp"
#include "shell/QtMainLoop.hpp"
#include "shell/RemoteController.hpp"
#include "shell/SettingsWindow.hpp"
#include "shell/TrayItem.hpp"

namespace orvel {
namespace {

HeadlessApp::Settings withInterface(HeadlessApp::Settings core, std::function<void()> open,
                                    std::function<void()> toggle) {
    core.openRemote = std::move(open);
    core.toggleRemote = std::move(toggle);
    core.hasInterface = true;
    return core;
}

}  // namespace

std::optional<std::string> DesktopApp::openInRunningApp() {
    const auto path = ControlChannel::socketPath();
    if (!path) return std::nullopt;
    auto opened = ToolConnection::open(*path, {{"command", "open"}}, false);
    auto* connection = std::get_if<ToolConnection>(&opened);
    if (!connection) return std::nullopt;
    const auto reply = ControlMessage::parseObject(connection->readToEnd());
    if (!reply) return std::nullopt;
    if (ControlMessage::isSuccess(*reply)) return std::string();
    return ControlMessage::errorText(*reply).value_or("Orvel Remote is already running.");
}

// Raw this in the core's callbacks: the core is a member and goes before we do.
DesktopApp::DesktopApp(QtMainLoop& loop, LaunchOptions options, std::function<void()> finished,
                       Settings settings)
    : loop_(loop),
      options_(std::move(options)),
      finished_(std::move(finished)),
      trayBus_(std::move(settings.trayBus)),
      observeSession_(settings.observeSession),
      core_(
          loop, options_,
          [this] {
              storeWatch_.reset();
              tray_.reset();
              if (finished_) finished_();
          },
          withInterface(
              std::move(settings.core), [this] { remote_->show(std::nullopt); },
              [this] { toggleRemote(); })) {
    // A TV answers on the local network at once or not at all; a larger answer is no icon.
    iconHttp_ = std::make_unique<BackgroundHttpTransport>(
        loop_, CurlTransport::Options{.connectTimeout = 2.0,
                                      .requestTimeout = 5.0,
                                      .maxBodyBytes = AppIconCache::kMaxBytes + 1});
    icons_ = std::make_unique<AppIconCache>(
        loop_, *iconHttp_, AppPaths::appIconFolder(AppPaths::processEnvironment()).value_or(""));
    remote_ = std::make_unique<RemoteController>(
        core_.store(), core_.defaults(),
        RemoteController::Hooks{
            .showSettings = [this] { showSettings(); },
            .recordShortcut =
                [this](std::uint32_t code, std::uint32_t modifiers, const std::string& characters) {
                    recordShortcut(code, modifiers, characters);
                },
            .settingsWindow = [this]() -> QWidget* { return settings_.get(); },
            .quit = [this] { quit(); },
            .appIcon =
                [this](const std::string& url, std::function<void(const std::string&)> done) {
                    icons_->fetch(url, std::move(done));
                }});
}

DesktopApp::~DesktopApp() {
    mediaPlayer_.reset();
    observer_.reset();
    storeWatch_.reset();
    notices_.reset();
    settings_.reset();
    remote_.reset();
    tray_.reset();
    icons_.reset();
    iconHttp_.reset();
}

bool DesktopApp::start() {
    tray_ = TrayItem::create({.demo = options_.demo, .busName = trayBus_});
    QObject::connect(tray_.get(), &TrayItem::activated,
                     [this](std::optional<QPoint> at) { remote_->toggle(at); });
    QObject::connect(tray_.get(), &TrayItem::volumeSteps,
                     [this](int steps) { store().adjustVolume(steps); });
    QObject::connect(tray_.get(), &TrayItem::openRemoteRequested,
                     [this] { remote_->show(std::nullopt); });
    QObject::connect(tray_.get(), &TrayItem::settingsRequested, [this] {
        store().setSettingsTab("general");
        showSettings();
    });
    QObject::connect(tray_.get(), &TrayItem::quitRequested, [this] { quit(); });
    QObject::connect(remote_.get(), &RemoteController::shownChanged,
                     [this](bool shown) { tray_->setHighlighted(shown); });
    applyTrayPreference();
    // The settings may turn the tray item off and on again.
    storeWatch_ = store().observe([this] { applyTrayPreference(); });
    store().setOnShowSettings([this] { showSettings(); });

    const auto socket = core_.start();
    if (!core_.started()) return false;
    // Said by the core already when it failed; the remote works without it.
    static_cast<void>(socket);

    if (observeSession_) {
        observer_ = std::make_unique<SessionSuspension>(core_, [this] { remote_->close(); });
    }
    // Raised, it opens the remote as the tray's "Open Remote" does.
    mediaPlayer_ = std::make_unique<MediaPlayerService>(
        loop_, store(),
        MediaPlayerService::Options{.raise = [this] { remote_->show(std::nullopt); },
                                    .quit = [this] { quit(); },
                                    .icons = icons_.get(),
                                    .busAddress = trayBus_});

    if (options_.showRemote) {
        toggleRemote();
    } else if (store().state().savedDevices.empty()) {
        store().setSettingsTab("tvs");
        showSettings();
    }
    return true;
}

void DesktopApp::quit() {
    mediaPlayer_.reset();  // off the bus before the session closes
    observer_.reset();
    remote_->close();
    core_.quit();
}

void DesktopApp::toggleRemote() {
    remote_->toggle(std::nullopt);
}

void DesktopApp::showSettings() {
    remote_->close();
    if (!settings_) {
        const auto installed = CommandLineInstall::installedPath(CommandLineInstall::defaults());
        // The window is this app's member, so its actions never outlive `this`.
        settings_ = std::make_unique<SettingsWindow>(
            store(),
            SettingsView::Actions{
                .requestAccess =
                    [this] {
                        if (auto* keys = core_.keys()) keys->requestAccess();
                    },
                .showNotices =
                    [this] {
                        NoticesWindow::present(notices_, Acknowledgements::executableDirectory());
                    },
                .resize = {},
                .install =
                    [] {
                        return CommandLineInstall::run(
                            CommandLineInstall::defaults(),
                            [](const std::string& command) { Clipboard::putText(command); });
                    },
                .quit = [this] { quit(); },
                .installNote = installed ? "Installed at " + *installed + "." : std::string(),
                .builtOn = std::string(Acknowledgements::kBuiltOn),
            });
    }
    settings_->present();
}

void DesktopApp::recordShortcut(std::uint32_t code, std::uint32_t modifiers,
                                const std::string& characters) {
    auto* keys = core_.keys();
    if (!keys) return;
    keys->hotKey().record(store(), KeyboardShortcut{code, modifiers}, characters);
}

void DesktopApp::applyTrayPreference() {
    if (!tray_) return;
    const bool wanted = store().state().showsMenuBarIcon;
    if (tray_->isVisible() != wanted) tray_->setVisible(wanted);
}

}  // namespace orvel

#pragma once
// HeadlessApp: the application without an interface: the TV session with its bridge child and
// the control socket for the orvel tool, wired on one main loop, and the quit sequence. main()
// runs one on a PollLoop until SIGINT or SIGTERM; tests run one in their own process. The
// socket is its only door, so it starts first, and without it nothing else starts.
//
//   HeadlessApp app(loop, options, [&] { loop.quit(); });
//   if (!app.start()) return 1;  // the reason is already said
//   app.quit();  // later, on a signal: `finished` runs once the bridge child is gone
//
// Storage problems (a settings or credential file set aside, a failed save) are written once
// each to standard error (StorageLog), as they appear.
//
// With key backends (a display), the global shortcut and Super with the media keys start
// after the session: the shortcut moves the session to the TV that plays and writes "Remote
// toggled" on standard error, since there is no remote to show; a shortcut that cannot be had
// is said there too.
//
// Quitting removes the socket, shuts the session down (which stops the bridge child and cancels
// the keyring call under way, an unlock prompt included), releases the keys, and waits for the
// child to go (4 seconds at most); quitting again finishes at once. Loop thread only; the loop
// must outlive it. Destruction stops the socket, joining its threads, and the keys before the
// session goes.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/ControlStartup.hpp"
#include "app/KeyboardControls.hpp"
#include "app/LaunchOptions.hpp"
#include "app/StorageLog.hpp"
#include "control/ControlHandler.hpp"
#include "platform/AppPaths.hpp"
#include "platform/ChosenCredentialStore.hpp"
#include "platform/Defaults.hpp"
#include "platform/Result.hpp"
#include "session/AppStore.hpp"
#include "session/BridgeClient.hpp"
#include "session/DemoServices.hpp"
#include "session/LoginItemService.hpp"

namespace orvel {

class HeadlessApp {
public:
    // Where the bridge is found, where each kind of message goes and the socket's limits:
    // tests replace them, main() keeps these. In demo mode bridgeInputs goes unused.
    struct Settings {
        BridgeClient::InputsSource bridgeInputs = BridgeLocation::processInputs;
        std::function<void(const std::string&)> logUnavailable = ControlStartup::logUnavailable;
        StorageLog::Writer logStorageProblem = StorageLog::writeToStandardError;
        ControlServer::Limits controlLimits = {};
        // What the remote's error line would show at launch, such as a missing bridge.
        std::function<void(const std::string&)> logProblem = printProblem;
        // The desktop's keys (main() gives the X11 ones when there is a display); nothing: no
        // global shortcut and no media keys.
        std::function<std::optional<KeyboardControls::Backends>()> keyBackends = {};
        // Where the shortcut's action says that it ran.
        std::function<void(const std::string&)> logToggle = printLine;
        // With an interface (DesktopApp): what `orvel open` and the shortcut do instead; the
        // app then runs on without its socket (unless another app serves this profile), and
        // the demo mode runs at all.
        std::function<void()> openRemote = {};
        std::function<void()> toggleRemote = {};
        bool hasInterface = false;
    };

    // Writes `sentence` to standard error, where a headless app says what the remote would.
    static void printProblem(const std::string& sentence);
    // Writes `line` to standard error as it stands.
    static void printLine(const std::string& line);

    // Reads the defaults (in demo mode not the user's: see DemoServices); starts nothing, and
    // asks nothing of D-Bus (the credential store is opened on its queue by start()).
    // `finished` runs once, on the loop, when quitting is done.
    HeadlessApp(MainLoop& loop, LaunchOptions options, std::function<void()> finished);
    HeadlessApp(MainLoop& loop, LaunchOptions options, std::function<void()> finished,
                Settings settings);
    ~HeadlessApp();
    HeadlessApp(const HeadlessApp&) = delete;
    HeadlessApp& operator=(const HeadlessApp&) = delete;

    // Starts the control socket, then the session: the socket's path, or the reason the socket
    // could not start (given to logUnavailable) and nothing started, also when another app
    // serves this profile. In demo mode the session starts without a socket, which is a
    // failure here.
    Result<std::string> start();
    void quit();

    // True once start() started the session (with an interface also without a socket).
    bool started() const { return started_; }
    AppStore& store() { return *store_; }
    Defaults& defaults() { return *defaults_; }
    // Null without key backends or before start().
    KeyboardControls* keys() { return keys_.get(); }

private:
    void startSession();
    void startKeys();
    void waitForChild();
    void finish();

    MainLoop& loop_;
    const LaunchOptions options_;
    std::function<void()> finished_;
    std::function<void(const std::string&)> logUnavailable_;
    const ControlServer::Limits controlLimits_;
    std::function<void(const std::string&)> logProblem_;
    std::function<std::optional<KeyboardControls::Backends>()> keyBackends_;
    std::function<void(const std::string&)> logToggle_;
    std::function<void()> toggleRemote_;
    const bool hasInterface_;
    const AppPaths::Environment environment_;
    DemoServices demo_;  // empty outside demo mode
    std::unique_ptr<Defaults> defaults_;
    std::unique_ptr<CredentialStore> credentials_;
    LoginItemService login_;
    std::shared_ptr<AppStore> store_;
    StorageLog storageLog_;
    Subscription storageWatch_;
    std::shared_ptr<ControlHandler> handler_;
    std::unique_ptr<ControlServer> control_;
    std::unique_ptr<KeyboardControls> keys_;
    bool started_ = false;
    bool quitting_ = false;
    bool done_ = false;
    double deadline_ = 0;
    CancelHandle childWait_;
};

}  // namespace orvel

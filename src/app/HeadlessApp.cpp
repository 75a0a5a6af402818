#include "app/HeadlessApp.hpp"

#include <sys/wait.h>

#include <cstdio>
#include <utility>

#include "core/ControlChannel.hpp"
#include "platform/LoginItem.hpp"

namespace orvel {
namespace {

constexpr double kChildGrace = 4.0;  // the bridge client kills its child by then
constexpr double kChildPoll = 0.05;

// True while a child of ours has not exited; a finished one is left for its owner to reap.
bool childRunning() {
    siginfo_t info{};
    if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;  // ECHILD
    return info.si_pid == 0;
}

std::unique_ptr<BridgeTransport> makeBridge(MainLoop& loop, DemoServices& demo,
                                            BridgeClient::InputsSource inputs) {
    if (demo.bridge) return std::move(demo.bridge);
    return std::make_unique<BridgeClient>(loop, std::move(inputs));
}

}  // namespace

HeadlessApp::HeadlessApp(MainLoop& loop, LaunchOptions options, std::function<void()> finished)
    : HeadlessApp(loop, std::move(options), std::move(finished), Settings{}) {}

HeadlessApp::HeadlessApp(MainLoop& loop, LaunchOptions options, std::function<void()> finished,
                         Settings settings)
    : loop_(loop),
      options_(std::move(options)),
      finished_(std::move(finished)),
      logUnavailable_(std::move(settings.logUnavailable)),
      controlLimits_(settings.controlLimits),
      logProblem_(std::move(settings.logProblem)),
      keyBackends_(std::move(settings.keyBackends)),
      logToggle_(std::move(settings.logToggle)),
      toggleRemote_(std::move(settings.toggleRemote)),
      hasInterface_(settings.hasInterface),
      environment_(AppPaths::processEnvironment()),
      demo_(options_.demo
                ? DemoServices::open(loop, AppPaths::defaultsFile(environment_).value_or(""))
                : DemoServices{}),
      defaults_(options_.demo ? std::move(demo_.defaults)
                              : std::make_unique<Defaults>(
                                    AppPaths::defaultsFile(environment_).value_or(""))),
      // The keyring when one answers, else the private file; the settings will show which.
      credentials_(options_.demo ? std::unique_ptr<CredentialStore>(std::move(demo_.credentials))
                                 : std::make_unique<ChosenCredentialStore>(environment_)),
      login_(LoginItem(AppPaths::autostartEntryFile(environment_).value_or(""),
                       LoginItem::runningExecutable())),
      store_(AppStore::create({.loop = loop,
                               .defaults = *defaults_,
                               .credentials = *credentials_,
                               .login = login_,
                               .bridge = makeBridge(loop, demo_, std::move(settings.bridgeInputs)),
                               .demo = options_.demo})),
      storageLog_(std::move(settings.logStorageProblem)),
      // Headless, there is no remote to open, and "open" says so.
      handler_(ControlHandler::create(loop, store_, std::move(settings.openRemote))) {
    storageLog_.report(store_->state().storageProblems);
    // Raw this: the subscription is ours and ends before the store does.
    storageWatch_ =
        store_->observe([this] { storageLog_.report(store_->state().storageProblems); });
}

HeadlessApp::~HeadlessApp() {
    // The store and its bridge go on this thread before the loop, whose timers still hold a
    // stopped child (its owner kills and reaps it if it is somehow still there).
    childWait_.cancel();
    control_.reset();  // joins its threads; nothing it runs may outlive the store
    keys_.reset();
    handler_.reset();
    storageWatch_.reset();
    store_.reset();
}

void HeadlessApp::printProblem(const std::string& sentence) {
    static_cast<void>(std::fprintf(stderr, "OrvelRemote: %s\n", sentence.c_str()));
}

void HeadlessApp::printLine(const std::string& line) {
    static_cast<void>(std::fprintf(stderr, "%s\n", line.c_str()));
}

Result<std::string> HeadlessApp::start() {
    if (options_.demo) {
        if (hasInterface_) startSession();
        return Failure{"The demo mode has no control socket."};
    }
    const auto path = ControlChannel::socketPath();
    std::string unavailable;
    control_ = ControlStartup::start(
        loop_, path, handler_->requestHandler(), handler_->watchHandler(),
        [&](const std::string& error) {
            unavailable = error;
            if (logUnavailable_) logUnavailable_(error);
        },
        controlLimits_);
    // The socket first: without it (headless), or with another app on this profile, no
    // bridge child.
    if (!control_) {
        if (hasInterface_ && !ControlStartup::isAlreadyRunning(unavailable)) startSession();
        return Failure{unavailable};
    }
    // Requests reach the store through the loop, so none is handled before it has started.
    startSession();
    return *path;
}

void HeadlessApp::startSession() {
    store_->start();
    started_ = true;
    if (const auto& error = store_->state().error; !error.empty() && logProblem_)
        logProblem_(error);
    startKeys();
}

void HeadlessApp::startKeys() {
    auto backends = keyBackends_ ? keyBackends_() : std::nullopt;
    if (!backends) return;
    std::optional<std::filesystem::path> diagnostics;
    if (options_.mediaKeyDiagnostics) diagnostics = *options_.mediaKeyDiagnostics;
    // Raw this: the keys are ours and go before we do.
    auto action = toggleRemote_ ? toggleRemote_ : [this] {
        store_->followPlayback();
        if (logToggle_) logToggle_("Remote toggled");
    };
    keys_ = std::make_unique<KeyboardControls>(loop_, *store_, std::move(*backends),
                                               std::move(diagnostics), std::move(action));
    keys_->start();
    // Headless, there are no settings to show why the shortcut does not work.
    if (const auto& error = store_->state().shortcutError; !error.empty() && logProblem_)
        logProblem_(error);
}

void HeadlessApp::quit() {
    if (quitting_) {
        finish();  // asked twice: do not wait for the child any longer
        return;
    }
    quitting_ = true;
    if (!started_) {
        finish();
        return;
    }
    // The socket goes first (its file removed), so no request reaches a closing session.
    if (control_) control_->stop();
    store_->shutdown();
    if (keys_) keys_->stop();
    deadline_ = loop_.now() + kChildGrace;
    waitForChild();
}

void HeadlessApp::waitForChild() {
    if (!childRunning() || loop_.now() >= deadline_) {
        finish();
        return;
    }
    // Raw this: the timer is held in childWait_, which cancels it when we go.
    childWait_ = loop_.postAfter(kChildPoll, [this] { waitForChild(); });
}

void HeadlessApp::finish() {
    childWait_.cancel();
    if (std::exchange(done_, true)) return;
    if (finished_) finished_();
}

}  // namespace orvel

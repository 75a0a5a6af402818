#include "app/HeadlessApp.hpp"

#include <sys/wait.h>

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
    : HeadlessApp(loop, options, std::move(finished), Settings{}) {}

HeadlessApp::HeadlessApp(MainLoop& loop, LaunchOptions options, std::function<void()> finished,
                         Settings settings)
    : loop_(loop),
      options_(options),
      finished_(std::move(finished)),
      logUnavailable_(std::move(settings.logUnavailable)),
      environment_(AppPaths::processEnvironment()),
      demo_(options.demo
                ? DemoServices::open(loop, AppPaths::defaultsFile(environment_).value_or(""))
                : DemoServices{}),
      defaults_(options.demo ? std::move(demo_.defaults)
                             : std::make_unique<Defaults>(
                                   AppPaths::defaultsFile(environment_).value_or(""))),
      // The keyring when one answers, else the private file; the settings will show which.
      credentials_(options.demo ? CredentialStores::Opened{std::move(demo_.credentials), ""}
                                : CredentialStores::open(environment_)),
      login_(LoginItem(AppPaths::autostartEntryFile(environment_).value_or(""),
                       LoginItem::runningExecutable())),
      store_(AppStore::create({.loop = loop,
                               .defaults = *defaults_,
                               .credentials = *credentials_.store,
                               .login = login_,
                               .bridge = makeBridge(loop, demo_, std::move(settings.bridgeInputs)),
                               .demo = options.demo})),
      // Headless: there is no remote to open.
      handler_(ControlHandler::create(loop, store_, [] {})) {}

HeadlessApp::~HeadlessApp() {
    // The store and its bridge go on this thread before the loop, whose timers still hold a
    // stopped child (its owner kills and reaps it if it is somehow still there).
    childWait_.cancel();
    control_.reset();  // joins its threads; nothing it runs may outlive the store
    handler_.reset();
    store_.reset();
}

void HeadlessApp::start() {
    store_->start();
    // The orvel tool drives real TVs only.
    if (options_.demo) return;
    control_ =
        ControlStartup::start(loop_, ControlChannel::socketPath(), handler_->requestHandler(),
                              handler_->watchHandler(), logUnavailable_);
}

void HeadlessApp::quit() {
    if (quitting_) {
        finish();  // asked twice: do not wait for the child any longer
        return;
    }
    quitting_ = true;
    // The socket goes first (its file removed), so no request reaches a closing session.
    if (control_) control_->stop();
    store_->shutdown();
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

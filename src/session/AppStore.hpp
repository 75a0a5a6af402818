#pragma once
// AppStore: the application's one TV session, and the one door to it. It owns the published
// AppState and tells observers of its changes; the jobs behind it each keep one part of it:
// TVConnection (the selected TV, reconnection), PairingFlow (pairing and forgetting),
// TVWatcher (the other TVs, following), CommandSender (commands, volume, apps) and
// Preferences. In demo mode it runs the same way on DemoServices (made-up TVs, nothing saved).
//
//   auto store = AppStore::create({.loop = loop,
//                                  .defaults = defaults,
//                                  .credentials = keyring,
//                                  .login = login,
//                                  .bridge = std::make_unique<BridgeClient>(loop)});
//   auto subscription = store->observe([&] { render(store->state()); });
//   store->start();
//   ...
//   store->shutdown();
//
// Owner: the application (shared_ptr; every continuation holds it weakly and checks a
// generation, so late bridge replies, credential results and timers change nothing once it
// is gone or has moved on). Thread: the loop thread only; no locks. Only the credential store
// calls run elsewhere, on "quillon.orvel.keychain". Ends with shutdown() (stops the bridge)
// and destruction; the loop, defaults, credential store and login service must outlive it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RemoteAction.hpp"
#include "platform/Defaults.hpp"
#include "platform/MainLoop.hpp"
#include "session/AppState.hpp"
#include "session/BridgeTransport.hpp"
#include "session/CommandOptions.hpp"
#include "session/CommandSender.hpp"
#include "session/CredentialQueue.hpp"
#include "session/LoginService.hpp"
#include "session/ObserverList.hpp"
#include "session/PairingFlow.hpp"
#include "session/Preferences.hpp"
#include "session/SessionContext.hpp"
#include "session/Subscription.hpp"
#include "session/TVConnection.hpp"
#include "session/TVDevice.hpp"
#include "session/TVWatcher.hpp"
#include "session/VolumeQueue.hpp"

namespace orvel {

class AppStore : public std::enable_shared_from_this<AppStore> {
public:
    static constexpr double kRequestTimeout = SessionContext::kRequestTimeout;
    static constexpr double kCommandTimeout = SessionContext::kCommandTimeout;
    static constexpr double kFirstRetryDelay = SessionContext::kFirstRetryDelay;
    static constexpr double kMaxRetryDelay = SessionContext::kMaxRetryDelay;

    struct Services {
        MainLoop& loop;
        Defaults& defaults;
        CredentialStore& credentials;
        LoginService& login;
        std::unique_ptr<BridgeTransport> bridge;          // never null
        bool demo = false;                                // on DemoServices: never pairs
        CredentialQueue::Executor keychainExecutor = {};  // empty: the keychain queue
    };

    // Reads the preferences, the paired TVs and the last TV; starts nothing (see start()).
    static std::shared_ptr<AppStore> create(Services services);
    ~AppStore();
    AppStore(const AppStore&) = delete;
    AppStore& operator=(const AppStore&) = delete;

    // --- Published state ---
    const AppState& state() const { return state_; }
    // Called on the loop, once per burst of changes, when the published state differs from
    // what observers last saw.
    [[nodiscard]] Subscription observe(std::function<void()> observer);

    // --- Hooks of the application shell ---
    // The connection or play state changed (called at once, inside the operation).
    void setOnStateChange(std::function<void()> hook) { onStateChange_ = std::move(hook); }
    // The preferences were saved; the shell applies them.
    void setOnPreferencesChange(std::function<void()> hook) {
        preferences_.setOnChange(std::move(hook));
    }
    // Asks the shell to bring the settings forward.
    void setOnShowSettings(std::function<void()> hook) { context_.showSettings = std::move(hook); }

    bool demo() const { return context_.demo; }
    // The saved TVs, then the found ones not saved, in that order.
    std::vector<TVDevice> allDevices() const;
    // The kind of the selected saved TV; "TV" when none is selected.
    std::string_view tvKind() const;

    // --- Connection ---
    // Opens the credential store on its queue and starts the bridge; its first "ready"
    // connects.
    void start();
    // Stops the bridge, every continuation and the credential call under way.
    void shutdown();
    void suspend() { connection_.suspend(); }  // drops the connection, keeps whom to reconnect
    void resume() { connection_.resume(); }    // the computer woke: reconnects at once
    void scan() { connection_.scan(); }
    // The user chose the TV: its keyring may ask them to unlock it.
    void connect(const TVDevice& device) {
        connection_.connect(device, CredentialQueue::Initiator::kUser);
    }
    void disconnect() { connection_.disconnect(); }
    void release(const std::string& id) { connection_.release(id); }  // not the desired TV
    bool can(RemoteAction action) const { return connection_.can(action); }

    // --- Preferences (each change saves all of them) ---
    void setMediaKeys(bool on) { preferences_.setMediaKeys(on); }
    void setCommandVolume(bool on) { preferences_.setCommandVolume(on); }
    void setFollowPlaying(bool on) { preferences_.setFollowPlaying(on); }
    void setShowsMenuBarIcon(bool on) { preferences_.setShowsMenuBarIcon(on); }
    void setShowsInMediaControls(bool on) { preferences_.setShowsInMediaControls(on); }
    void setLogin(bool enabled) { preferences_.setLogin(enabled); }
    void setShortcut(std::uint32_t code, std::uint32_t modifiers, std::string label) {
        preferences_.setShortcut(code, modifiers, std::move(label));
    }

    // --- View state the shell owns (no side effects) ---
    void setNavigationExpanded(bool expanded);
    void setSettingsTab(std::string tab);
    void dismissError();  // the error line's dismiss button
    void setPairingPIN(std::string pin);
    void setRecordingShortcut(bool recording);
    void setShortcutError(std::string message);
    void setKeyboardAccess(KeyboardAccess access);
    void focusText();
    void hideTextEntry();

    // --- Pairing (driven by the settings view; see PairingFlow) ---
    void pair(const TVDevice& device) { pairing_.pair(device); }
    void submitPIN() { pairing_.submitPIN(); }
    void cancelPairing() { pairing_.cancel(); }
    void forget(const TVDevice& device) { pairing_.forget(device); }

    // --- Watching the other TVs and following the playing one ---
    using MediaKeyTarget = TVWatcher::MediaKeyTarget;
    // The remote is being shown: moves to the TV that started playing last, unless the
    // selected one plays. Only with followPlaying on.
    void followPlayback() { watcher_.followPlayback(); }
    // The TV a media key drives: the one that started playing last, else the connected one.
    std::optional<MediaKeyTarget> mediaKeyTarget() const { return watcher_.mediaKeyTarget(); }

    // --- Remote commands, text, volume and apps (see CommandSender) ---
    static constexpr int kMaxCommandsInFlight = CommandSender::kMaxCommandsInFlight;
    static constexpr std::size_t kMaxTextScalars = CommandSender::kMaxTextScalars;
    static constexpr int kMaxQueuedVolumeSteps = VolumeQueue::kMaxQueuedSteps;
    static constexpr const char* kTextTooLong = CommandSender::kTextTooLong;
    static constexpr const char* kTextNotUtf8 = CommandSender::kTextNotUtf8;
    static constexpr const char* kBridgeNotRunning = SessionContext::kBridgeNotRunning;
    static constexpr const char* kCommandsBusy = CommandSender::kCommandsBusy;

    using CommandOptions = orvel::CommandOptions;
    // True when the TV took the action. Not called once the store is gone.
    using CommandCompletion = CommandSender::Completion;
    // Either the apps (id and name) and an empty text, or nothing and the sentence why.
    using AppsCompletion = CommandSender::AppsCompletion;

    // One action for the selected TV (failures on the error line) or, with `to`, for another
    // paired TV (failures in lastBackgroundError()). No repeat count: repeat from the completion.
    void send(RemoteAction action, CommandOptions options = {}, CommandCompletion completion = {}) {
        commands_.send(action, std::move(options), std::move(completion));
    }
    // Volume steps (positive: up), coalesced so one step is on its way at a time.
    void adjustVolume(int steps) { commands_.adjustVolume(steps); }
    // An absolute volume from 0 to 100; only the latest of a burst is sent.
    void setVolume(double volume) { commands_.setVolume(volume); }
    void apps(const TVDevice& device, AppsCompletion completion) {
        commands_.apps(device, std::move(completion));
    }
    // Why the last command for a TV other than the selected one failed; empty after a success
    // or a refusal without a reason.
    const std::string& lastBackgroundError() const { return commands_.lastBackgroundError(); }
    // The same for the selected TV. The error line may still show an older failure, which
    // must not be taken for the reason of this one.
    const std::string& lastCommandError() const { return commands_.lastCommandError(); }

private:
    explicit AppStore(Services services);
    void wireBridge();
    // Problems of the credential store and the defaults file reach storageProblems.
    void wireStorage();
    // Marks the published state as possibly changed; observers hear of it once, on the loop.
    void changed();
    void publish();

    std::unique_ptr<BridgeTransport> bridge_;
    CredentialQueue keychain_;

    AppState state_;
    AppState published_;  // what observers last heard of
    bool publishPosted_ = false;
    ObserverList observers_;
    std::function<void()> onStateChange_;

    // The jobs, each of which reaches the others through the context.
    SessionContext context_;
    TVConnection connection_{context_};
    TVWatcher watcher_{context_};
    PairingFlow pairing_{context_};
    CommandSender commands_{context_};
    Preferences preferences_;
};

}  // namespace orvel

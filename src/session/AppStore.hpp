#pragma once
// AppStore: the application's one TV session. It keeps the paired and found TVs, connects the
// selected one through the bridge and reconnects it when the connection or the bridge is lost,
// turns the bridge's events into the published AppState, and keeps the preferences. Every TV
// operation of the application, whatever its source, is an AppStore operation. In demo mode it
// starts no bridge and shows two made-up TVs instead.
//
//   auto store = AppStore::create({.loop = loop, .defaults = defaults, .credentials = keyring,
//                                  .login = login, .bridge =
//                                  std::make_unique<BridgeClient>(loop)});
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
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/FollowPolicy.hpp"
#include "core/NamedEntry.hpp"
#include "core/PlaybackFeedback.hpp"
#include "core/RemoteAction.hpp"
#include "platform/Defaults.hpp"
#include "platform/MainLoop.hpp"
#include "session/AppState.hpp"
#include "session/BridgeTransport.hpp"
#include "session/CommandOptions.hpp"
#include "session/CredentialQueue.hpp"
#include "session/LoginService.hpp"
#include "session/ObserverList.hpp"
#include "session/Subscription.hpp"
#include "session/TVDevice.hpp"

namespace orvel {

class AppStore : public std::enable_shared_from_this<AppStore> {
public:
    // Bridge request time-outs: commands and app lists answer sooner than the rest.
    static constexpr double kRequestTimeout = 30;
    static constexpr double kCommandTimeout = 28;
    // Reconnection and watch retries start here and double up to the cap.
    static constexpr double kFirstRetryDelay = 5;
    static constexpr double kMaxRetryDelay = 60;

    struct Services {
        MainLoop& loop;
        Defaults& defaults;
        CredentialStore& credentials;
        LoginService& login;
        std::unique_ptr<BridgeTransport> bridge;  // never touched in demo mode; may be null there
        bool demo = false;
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
        onPreferencesChange_ = std::move(hook);
    }
    // Asks the shell to bring the settings forward.
    void setOnShowSettings(std::function<void()> hook) { onShowSettings_ = std::move(hook); }

    bool demo() const { return demo_; }
    // The saved TVs, then the found ones not saved, in that order.
    std::vector<TVDevice> allDevices() const;
    // The kind of the selected saved TV; "TV" when none is selected.
    std::string_view tvKind() const;

    // --- Connection ---
    void start();     // launch: starts the bridge; its first "ready" scans and connects
    void shutdown();  // quit: stops the bridge and every pending continuation
    void suspend();   // the computer sleeps: drops the connection, keeps whom to reconnect
    void resume();    // it woke: reconnects at once
    void scan();
    void connect(const TVDevice& device);
    void disconnect();
    void release(const std::string& id);  // drop a TV that is not the desired one
    bool can(RemoteAction action) const;

    // --- Preferences (each change saves all of them) ---
    void setMediaKeys(bool on);
    void setCommandVolume(bool on);
    void setFollowPlaying(bool on);  // also starts or ends watching the other TVs
    void setShowsMenuBarIcon(bool on);
    void setLogin(bool enabled);
    void setShortcut(std::uint32_t code, std::uint32_t modifiers, std::string label);

    // --- View state the shell owns (no side effects) ---
    void setNavigationExpanded(bool expanded);
    void setSettingsTab(std::string tab);
    void setPairingPIN(std::string pin);
    void setRecordingShortcut(bool recording);
    void setShortcutError(std::string message);
    void setKeyboardAccess(KeyboardAccess access);

    // --- Pairing (driven by the settings view) ---
    // Pairs every protocol the TV lacks, one PIN each, saving the credentials after each one;
    // a TV that lacks none is saved and connected at once. Replaces any pairing under way.
    void pair(const TVDevice& device);
    // Sends the typed PIN; does nothing unless it is four ASCII digits and no step is pending.
    void submitPIN();
    void cancelPairing();
    // Deletes the TV's credentials, then drops it from the saved TVs (kept if the delete fails).
    void forget(const TVDevice& device);

    // --- Watching the other TVs and following the playing one ---
    struct MediaKeyTarget {
        std::string id;
        std::set<RemoteAction> capabilities;
        bool operator==(const MediaKeyTarget&) const = default;
    };
    // The remote is being shown: moves to the TV that started playing last, unless the
    // selected one plays. Only with followPlaying on.
    void followPlayback();
    // The TV a media key drives: the one that started playing last, else the connected one.
    std::optional<MediaKeyTarget> mediaKeyTarget() const;

    // --- Remote commands, text, volume and apps ---
    static constexpr int kMaxCommandsInFlight = 4;  // for the selected TV
    static constexpr std::size_t kMaxTextScalars = 16384;
    static constexpr int kMaxQueuedVolumeSteps = 20;
    static constexpr const char* kTextTooLong = "Text is too long. Use 16,384 characters or fewer.";
    static constexpr const char* kTextNotUtf8 =
        "Text can't be sent because it isn't valid UTF-8 text.";
    static constexpr const char* kBridgeNotRunning = "Orvel's helper isn't running.";
    static constexpr const char* kCommandsBusy =
        "The TV is still taking earlier commands. Try again in a moment.";

    using CommandOptions = orvel::CommandOptions;
    // True when the TV took the action. Not called once the store is gone.
    using CommandCompletion = std::function<void(bool accepted)>;
    // Either the apps (id and name) and an empty text, or nothing and the sentence why.
    using AppsCompletion =
        std::function<void(std::optional<std::vector<NamedEntry>> apps, const std::string& error)>;

    // One action for the selected TV (failures on the error line) or, with `to`, for another
    // paired TV (failures in lastBackgroundError()). No repeat count: repeat from the completion.
    void send(RemoteAction action, CommandOptions options = {}, CommandCompletion completion = {});
    // Volume steps (positive: up), coalesced so one step is on its way at a time.
    void adjustVolume(int steps);
    // An absolute volume from 0 to 100; only the latest of a burst is sent.
    void setVolume(double volume);
    void apps(const TVDevice& device, AppsCompletion completion);
    void focusText();
    void hideTextEntry();
    // Why the last command for a TV other than the selected one failed; empty after a success
    // or a refusal without a reason.
    const std::string& lastBackgroundError() const { return lastBackgroundError_; }
    // The same for the selected TV. The error line may still show an older failure, which
    // must not be taken for the reason of this one.
    const std::string& lastCommandError() const { return lastCommandError_; }

private:
    explicit AppStore(Services services);
    void wireBridge();
    void setUpDemo();

    // Bridge events and the end of a bridge session.
    void handle(const nlohmann::json& event);
    void handleReady(const nlohmann::json& event);
    void handleState(const nlohmann::json& event);
    void handleDisconnected(const nlohmann::json& event);
    void bridgeFailed(const std::string& message);
    // Starts the bridge unless it runs; fails once shutdown() was called.
    std::optional<std::string> startBridge();

    // Connection steps.
    void scanReplied(const nlohmann::json& reply);
    void credentialsLoaded(const TVDevice& device, std::uint64_t generation,
                           const CredentialLoad& loaded);
    void connectReplied(const TVDevice& device, std::uint64_t generation,
                        const nlohmann::json& reply);
    void scheduleReconnect();
    void clearConnection();
    void resetPlayback();
    void clearVolume();
    // A reply with an "error" text (even an empty one) puts it on the error line.
    bool failure(const nlohmann::json& reply);
    void requestIgnoringReply(const std::string& op, nlohmann::json fields);

    // --- Watching and following (AppStoreWatching.cpp) ---
    // Status records of every TV, and watching the saved TVs that are not connected.
    void record(const std::string& id, const nlohmann::json& event);
    void ensureWatched();
    void watchCredentialsLoaded(const TVDevice& device, const CredentialLoad& loaded);
    void watchReplied(const std::string& id, const nlohmann::json& reply);
    void scheduleWatch();
    void resetWatching();
    void applyFollowPreference();
    std::vector<FollowPolicy::Candidate> followCandidates() const;
    std::optional<std::string> followTarget() const;

    // --- Pairing steps (AppStorePairing.cpp) ---
    // Every continuation passes the pairing generation and TV it started with.
    bool pairingCurrent(const TVDevice& device, std::uint64_t pairingGeneration) const;
    void beginPairing(const TVDevice& device, std::uint64_t pairingGeneration);
    void pairingCredentialsLoaded(const TVDevice& device, std::uint64_t pairingGeneration,
                                  const CredentialLoad& loaded);
    void nextPairingStep();
    void pairBeginReplied(const TVDevice& device, std::uint64_t pairingGeneration,
                          const nlohmann::json& reply);
    void pairFinishReplied(const TVDevice& device, std::uint64_t pairingGeneration,
                           const nlohmann::json& reply);
    void pairingSaved(const TVDevice& device, std::uint64_t pairingGeneration,
                      const std::optional<CredentialError>& error);
    void completePairing();
    void forgotten(const std::string& id, const std::optional<CredentialError>& error);
    void resetPairing();
    void abandonPairing();

    // Remote commands.
    void sendToSelected(RemoteAction action, CommandOptions options, CommandCompletion completion);
    void sendToOther(RemoteAction action, CommandOptions options, CommandCompletion completion);
    void sendWithCredentials(const TVDevice& device, nlohmann::json fields,
                             CommandCompletion completion);
    void commandReplied(std::uint64_t generation, std::optional<std::int64_t> revision,
                        const nlohmann::json& reply, const CommandCompletion& completion);
    void applyDemoCommand(RemoteAction action, const CommandOptions& options);
    void requestApps(const TVDevice& device, bool selected, const CredentialLoad& loaded,
                     AppsCompletion completion);
    void drainVolume();
    void drainAbsoluteVolume();
    // Like failure(), but into lastBackgroundError_, leaving the remote's error line alone.
    bool quietFailure(const nlohmann::json& reply);

    void savePreferences();
    void saveDevices();
    void showDemoPlayback(const std::string& id);

    void notifyStateChange();
    // Marks the published state as possibly changed; observers hear of it once, on the loop.
    void changed();
    void publish();

    // Services
    MainLoop& loop_;
    Defaults& defaults_;
    LoginService& login_;
    const bool demo_;
    std::unique_ptr<BridgeTransport> bridge_;
    CredentialQueue keychain_;

    // Published
    AppState state_;
    AppState published_;  // what observers last heard of
    bool publishPosted_ = false;
    ObserverList observers_;

    // Hooks
    std::function<void()> onStateChange_;
    std::function<void()> onPreferencesChange_;
    std::function<void()> onShowSettings_;

    // Connection
    bool handledInitialReady_ = false;
    std::optional<std::string> desiredID_;  // whom to connect or keep connected
    std::uint64_t generation_ = 0;          // moves on every connect, disconnect, failure, sleep
    CancelHandle retryTimer_;
    double retryDelay_ = kFirstRetryDelay;
    bool suspended_ = false;
    bool shutDown_ = false;

    // Pairing
    std::uint64_t pairingGeneration_ = 0;  // moves whenever a pairing starts or is reset
    std::vector<std::string> pairingQueue_;
    CredentialSet pairingCredentials_;
    std::set<std::string> forgettingDevices_;

    // Watching
    CancelHandle watchTimer_;
    double watchDelay_ = kFirstRetryDelay;
    std::set<std::string> watchPending_;

    // Volume requests of the selected TV
    int queuedVolume_ = 0;
    bool volumeSending_ = false;
    std::optional<double> requestedVolume_;
    bool absoluteVolumeSending_ = false;
    PlaybackFeedback playbackFeedback_;

    // Commands
    int inFlightCommands_ = 0;  // for the selected TV; falls only as replies arrive
    std::string lastBackgroundError_;
    std::string lastCommandError_;
};

}  // namespace orvel

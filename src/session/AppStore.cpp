#include "session/AppStore.hpp"
#include "core/JsonFields.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "session/CredentialJson.hpp"
#include "session/DemoHousehold.hpp"
#include "session/SessionDefaults.hpp"
#include "session/StatusReport.hpp"

namespace orvel {

using nlohmann::json;

// --- Construction ---

std::shared_ptr<AppStore> AppStore::create(Services services) {
    if (!services.demo && !services.bridge) {
        std::fputs("AppStore needs a bridge outside demo mode\n", stderr);
        std::abort();
    }
    std::shared_ptr<AppStore> store(new AppStore(std::move(services)));
    if (!store->demo_) store->wireBridge();
    // What the constructor set is the starting point, not a change; its post found no owner.
    store->published_ = store->state_;
    store->publishPosted_ = false;
    return store;
}

AppStore::AppStore(Services services)
    : loop_(services.loop),
      defaults_(services.defaults),
      login_(services.login),
      demo_(services.demo),
      bridge_(std::move(services.bridge)),
      keychain_(services.loop, services.credentials, std::move(services.keychainExecutor)) {
    SessionDefaults::registerPreferences(defaults_);
    SessionDefaults::loadInto(defaults_, state_);
    state_.launchAtLogin = login_.enabled();
    if (demo_) setUpDemo();
}

AppStore::~AppStore() = default;

void AppStore::wireBridge() {
    std::weak_ptr<AppStore> weak = weak_from_this();
    bridge_->setOnEvent([weak](const json& event) {
        if (auto self = weak.lock()) self->handle(event);
    });
    bridge_->setOnFailure([weak](const std::string& message) {
        if (auto self = weak.lock()) self->bridgeFailed(message);
    });
}

void AppStore::setUpDemo() {
    state_.savedDevices = DemoHousehold::devices();
    state_.devices = state_.savedDevices;
    state_.selectedID = DemoHousehold::kLivingRoomID;
    state_.connected = true;
    state_.capabilities = {kAllRemoteActions.begin(), kAllRemoteActions.end()};
    state_.textFocused = true;
    state_.volume = DemoHousehold::kVolume;
    state_.statuses = DemoHousehold::statuses();
    showDemoPlayback(state_.selectedID);
}

// --- Published state ---

Subscription AppStore::observe(std::function<void()> observer) {
    return observers_.subscribe(std::move(observer));
}

void AppStore::changed() {
    if (publishPosted_) return;
    publishPosted_ = true;
    loop_.post([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->publish();
    });
}

void AppStore::publish() {
    publishPosted_ = false;
    if (state_ == published_) return;
    published_ = state_;
    observers_.notify();
}

void AppStore::notifyStateChange() {
    changed();
    if (auto hook = onStateChange_) hook();
}

std::vector<TVDevice> AppStore::allDevices() const {
    std::vector<TVDevice> all = state_.savedDevices;
    for (const auto& found : state_.devices) {
        const bool saved = std::any_of(all.begin(), all.end(),
                                       [&](const TVDevice& known) { return known.id == found.id; });
        if (!saved) all.push_back(found);
    }
    return all;
}

std::string_view AppStore::tvKind() const {
    for (const auto& device : state_.savedDevices) {
        if (device.id == state_.selectedID) return device.kind();
    }
    return "TV";
}

bool AppStore::can(RemoteAction action) const {
    return state_.connected && state_.capabilities.contains(action);
}

// --- Bridge events ---

void AppStore::handle(const json& event) {
    using Handler = void (AppStore::*)(const json&);
    static const std::pair<std::string_view, Handler> kHandlers[] = {
        {"ready", &AppStore::handleReady},
        {"state", &AppStore::handleState},
        {"disconnected", &AppStore::handleDisconnected},
    };
    auto name = textField(event, "event");
    if (!name) return;
    for (const auto& [handled, handler] : kHandlers) {
        if (handled == *name) {
            (this->*handler)(event);
            changed();
            return;
        }
    }
}

void AppStore::handleReady(const json&) {
    // Only the first bridge of the run scans and connects; a restarted one is reconnected by
    // whoever restarted it.
    if (handledInitialReady_) return;
    handledInitialReady_ = true;
    scan();
    if (state_.connecting) {
        ensureWatched();
        return;
    }
    for (const auto& device : state_.savedDevices) {
        if (device.id == state_.selectedID) {
            connect(device);
            break;
        }
    }
    ensureWatched();
}

void AppStore::handleState(const json& event) {
    auto id = textField(event, "device");
    if (!id) return;
    record(*id, event);
    if (desiredID_ != *id) return;

    const auto report = StatusReport::parse(event);
    state_.connected = true;
    state_.capabilities = report.capabilities;
    playbackFeedback_.receive(report.playing, loop_.now());
    state_.playing = playbackFeedback_.value();
    state_.title = report.title;
    state_.artist = report.artist;
    state_.app = report.app;
    state_.notice = report.notice;
    state_.duration = report.duration;
    state_.position = report.position;
    state_.power = report.power;
    // The slider keeps the level the user asked for until the TV has taken it.
    if (!absoluteVolumeSending_) state_.volume = report.volume;
    state_.textFocused = report.textFocused;
    notifyStateChange();
}

void AppStore::handleDisconnected(const json& event) {
    auto id = textField(event, "device");
    if (id && desiredID_ != *id) {
        state_.statuses.erase(*id);
        watchPending_.erase(*id);
        scheduleWatch();
        notifyStateChange();
        return;
    }
    // The attempt under way answers for itself.
    if (state_.connecting) return;
    clearConnection();
    if (auto reason = textField(event, "reason")) state_.error = *reason;
    scheduleReconnect();
}

void AppStore::bridgeFailed(const std::string& message) {
    ++generation_;
    state_.error = message;
    clearConnection();
    retryTimer_.cancel();
    resetWatching();
    if (state_.pairingDevice) resetPairing();
    scheduleReconnect();
    changed();
}

// --- Connection ---

void AppStore::start() {
    if (demo_) return;
    if (auto error = startBridge()) {
        state_.error = *error;
        changed();
    }
}

std::optional<std::string> AppStore::startBridge() {
    // Requests that were already on their way when the app began to quit must not bring the
    // bridge back.
    if (shutDown_) return std::string(kBridgeNotRunning);
    return bridge_->start();
}

void AppStore::shutdown() {
    shutDown_ = true;
    ++generation_;
    ++pairingGeneration_;
    retryTimer_.cancel();
    watchTimer_.cancel();
    if (!demo_) bridge_->stop();
}

void AppStore::suspend() {
    suspended_ = true;
    retryTimer_.cancel();
    ++generation_;
    clearConnection();
    resetWatching();
    if (state_.pairingDevice) abandonPairing();
    // Everything, watches included: the TVs will not hear from a sleeping computer.
    requestIgnoringReply("disconnect", json::object());
    changed();
}

void AppStore::resume() {
    suspended_ = false;
    if (desiredID_) {
        for (const auto& device : allDevices()) {
            if (device.id == *desiredID_) {
                connect(device);
                break;
            }
        }
    }
    ensureWatched();
    changed();
}

void AppStore::scan() {
    if (demo_ || state_.scanning || state_.pairingDevice) return;
    if (auto error = startBridge()) {
        state_.error = *error;
        changed();
        return;
    }
    state_.scanning = true;
    state_.error.clear();
    changed();
    bridge_->request("scan", json::object(), kRequestTimeout,
                     [weak = weak_from_this()](const json& reply) {
                         if (auto self = weak.lock()) self->scanReplied(reply);
                     });
}

void AppStore::scanReplied(const json& reply) {
    state_.scanning = false;
    changed();
    if (failure(reply)) return;
    std::vector<TVDevice> found;
    if (const json* listed = field(reply, "devices"); listed && listed->is_array()) {
        for (const auto& entry : *listed) {
            if (auto device = TVDevice::fromBridge(entry)) found.push_back(std::move(*device));
        }
    }
    state_.devices = std::move(found);
}

void AppStore::connect(const TVDevice& device) {
    if (state_.pairingDevice || forgettingDevices_.contains(device.id) || suspended_) return;
    const auto generation = ++generation_;
    clearVolume();
    desiredID_ = device.id;
    state_.selectedID = device.id;
    retryTimer_.cancel();
    changed();

    if (demo_) {
        state_.connected = true;
        state_.textFocused = true;
        state_.capabilities = {kAllRemoteActions.begin(), kAllRemoteActions.end()};
        showDemoPlayback(device.id);
        return;
    }

    resetPlayback();
    state_.connected = false;
    state_.capabilities.clear();
    state_.connecting = true;
    state_.error.clear();
    notifyStateChange();

    if (auto error = startBridge()) {
        state_.error = *error;
        clearConnection();
        return;
    }
    keychain_.load(device.id,
                   [weak = weak_from_this(), device, generation](const CredentialLoad& loaded) {
                       if (auto self = weak.lock()) {
                           self->credentialsLoaded(device, generation, loaded);
                       }
                   });
}

void AppStore::credentialsLoaded(const TVDevice& device, std::uint64_t generation,
                                 const CredentialLoad& loaded) {
    if (generation != generation_ || desiredID_ != device.id) return;
    changed();
    if (loaded.error) {
        state_.error = loaded.error->description();
        clearConnection();
        return;
    }
    if (loaded.credentials.empty() && device.needsPairing()) {
        desiredID_.reset();
        pair(device);
        return;
    }
    json fields = {{"device", device.id}, {"credentials", credentialsObject(loaded.credentials)}};
    bridge_->request("connect", fields, kRequestTimeout,
                     [weak = weak_from_this(), device, generation](const json& reply) {
                         if (auto self = weak.lock())
                             self->connectReplied(device, generation, reply);
                     });
}

void AppStore::connectReplied(const TVDevice& device, std::uint64_t generation, const json& reply) {
    if (generation != generation_ || desiredID_ != device.id) return;
    changed();
    state_.connecting = false;
    if (failure(reply)) {
        clearConnection();
        scheduleReconnect();
        return;
    }
    // Now playing and the capabilities come with the "state" events that follow.
    state_.connected = true;
    retryDelay_ = kFirstRetryDelay;
    defaults_.setString(SessionDefaults::kLastDevice, device.id);
    notifyStateChange();
    ensureWatched();
}

void AppStore::scheduleReconnect() {
    if (suspended_ || !desiredID_) return;
    const auto devices = allDevices();
    auto found = std::find_if(devices.begin(), devices.end(),
                              [&](const TVDevice& device) { return device.id == *desiredID_; });
    if (found == devices.end()) return;
    retryTimer_ = loop_.postAfter(retryDelay_, [weak = weak_from_this(), device = *found] {
        if (auto self = weak.lock()) self->connect(device);
    });
    retryDelay_ = std::min(2 * retryDelay_, kMaxRetryDelay);
}

void AppStore::clearConnection() {
    resetPlayback();
    clearVolume();
    state_.connected = false;
    state_.connecting = false;
    state_.capabilities.clear();
    if (desiredID_) state_.statuses.erase(*desiredID_);
    notifyStateChange();
}

void AppStore::resetPlayback() {
    playbackFeedback_.reset();
    state_.playing = false;
    state_.title.clear();
    state_.artist.clear();
    state_.app.clear();
    state_.notice.clear();
    state_.duration = 0;
    state_.position = 0;
    state_.power = "Unknown";
    state_.textFocused = false;
    changed();
}

void AppStore::clearVolume() {
    queuedVolume_ = 0;
    volumeSending_ = false;
    state_.volume.reset();
    requestedVolume_.reset();
    absoluteVolumeSending_ = false;
}

void AppStore::disconnect() {
    ++generation_;
    retryTimer_.cancel();
    auto previous = std::exchange(desiredID_, std::nullopt);
    clearConnection();
    if (previous) {
        state_.statuses.erase(*previous);
        if (!demo_) requestIgnoringReply("disconnect", {{"device", *previous}});
    }
    ensureWatched();
    changed();
}

void AppStore::release(const std::string& id) {
    watchPending_.erase(id);
    state_.statuses.erase(id);
    if (!demo_) requestIgnoringReply("disconnect", {{"device", id}});
    changed();
}

bool AppStore::failure(const json& reply) {
    auto error = textField(reply, "error");
    if (!error) return false;
    state_.error = *error;
    changed();
    return true;
}

void AppStore::requestIgnoringReply(const std::string& op, json fields) {
    if (demo_) return;
    bridge_->request(op, fields, kRequestTimeout, {});
}

// --- Preferences ---

void AppStore::setMediaKeys(bool on) {
    state_.mediaKeys = on;
    savePreferences();
}

void AppStore::setCommandVolume(bool on) {
    state_.commandVolume = on;
    savePreferences();
}

void AppStore::setFollowPlaying(bool on) {
    state_.followPlaying = on;
    savePreferences();
    applyFollowPreference();
}

void AppStore::setShowsMenuBarIcon(bool on) {
    state_.showsMenuBarIcon = on;
    savePreferences();
}

void AppStore::setShortcut(std::uint32_t code, std::uint32_t modifiers, std::string label) {
    state_.shortcutCode = code;
    state_.shortcutModifiers = modifiers;
    state_.shortcutLabel = std::move(label);
    savePreferences();
}

void AppStore::savePreferences() {
    changed();
    if (!demo_) SessionDefaults::savePreferences(state_, defaults_);
    if (auto hook = onPreferencesChange_) hook();
}

void AppStore::setLogin(bool enabled) {
    changed();
    if (auto error = login_.setEnabled(enabled)) {
        state_.error = *error;
        return;
    }
    state_.launchAtLogin = login_.enabled();
}

void AppStore::saveDevices() {
    if (demo_) return;
    SessionDefaults::saveDevices(state_.savedDevices, defaults_);
}

void AppStore::showDemoPlayback(const std::string& id) {
    auto found = state_.statuses.find(id);
    const TVStatus status = found == state_.statuses.end() ? TVStatus{} : found->second;
    state_.playing = status.playing;
    state_.title = status.title;
    state_.app = status.app;
    state_.power = status.power;
    changed();
}

// --- View state ---

void AppStore::setNavigationExpanded(bool expanded) {
    state_.navigationExpanded = expanded;
    changed();
}

void AppStore::setSettingsTab(std::string tab) {
    state_.settingsTab = std::move(tab);
    changed();
}

void AppStore::setPairingPIN(std::string pin) {
    state_.pairingPIN = std::move(pin);
    changed();
}

void AppStore::setRecordingShortcut(bool recording) {
    state_.recordingShortcut = recording;
    changed();
}

void AppStore::setShortcutError(std::string message) {
    state_.shortcutError = std::move(message);
    changed();
}

void AppStore::setKeyboardAccess(KeyboardAccess access) {
    state_.keyboardAccess = access;
    changed();
}

}  // namespace orvel

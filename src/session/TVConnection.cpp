#include "session/TVConnection.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include "core/JsonFields.hpp"
#include "session/CommandSender.hpp"
#include "session/CredentialJson.hpp"
#include "session/PairingFlow.hpp"
#include "session/SessionDefaults.hpp"
#include "session/StatusReport.hpp"
#include "session/TVWatcher.hpp"

namespace orvel {

using nlohmann::json;

// --- Bridge events ---

void TVConnection::handleEvent(const json& event) {
    using Handler = void (TVConnection::*)(const json&);
    static const std::pair<std::string_view, Handler> kHandlers[] = {
        {"ready", &TVConnection::handleReady},
        {"state", &TVConnection::handleState},
        {"disconnected", &TVConnection::handleDisconnected},
    };
    auto name = textField(event, "event");
    if (!name) return;
    for (const auto& [handled, handler] : kHandlers) {
        if (handled == *name) {
            (this->*handler)(event);
            context_.changed();
            return;
        }
    }
}

void TVConnection::handleReady(const json&) {
    // Only the first bridge of the run scans and connects; a restarted one is reconnected by
    // whoever restarted it.
    if (handledInitialReady_) return;
    handledInitialReady_ = true;
    scan();
    if (!context_.state.connecting) {
        if (const TVDevice* last = context_.state.savedDevice(context_.state.selectedID)) {
            connect(TVDevice(*last), CredentialQueue::Initiator::kBackground);
        }
    }
    context_.jobs.watcher->ensureWatched();
}

void TVConnection::handleState(const json& event) {
    auto id = textField(event, "device");
    if (!id) return;
    context_.jobs.watcher->record(*id, event);
    if (desiredID_ != *id) return;

    auto& state = context_.state;
    const auto report = StatusReport::parse(event);
    state.connected = true;
    state.capabilities = report.capabilities;
    state.playing = context_.jobs.commands->receivePlaying(report.playing);
    state.title = report.title;
    state.artist = report.artist;
    state.app = report.app;
    state.notice = report.notice;
    state.duration = report.duration;
    state.position = report.position;
    state.power = report.power;
    // The slider keeps the level the user asked for until the TV has taken it.
    if (!context_.jobs.commands->holdsVolume()) state.volume = report.volume;
    state.textFocused = report.textFocused;
    context_.stateChanged();
}

void TVConnection::handleDisconnected(const json& event) {
    auto id = textField(event, "device");
    if (id && desiredID_ != *id) {
        context_.jobs.watcher->lost(*id);
        return;
    }
    // The attempt under way answers for itself.
    if (context_.state.connecting) return;
    clearConnection();
    if (auto reason = textField(event, "reason")) context_.state.error = *reason;
    scheduleReconnect();
}

void TVConnection::bridgeFailed(const std::string& message) {
    ++generation_;
    context_.state.error = message;
    clearConnection();
    retryTimer_.cancel();
    context_.jobs.watcher->reset();
    if (context_.state.pairingDevice) context_.jobs.pairing->reset();
    scheduleReconnect();
    context_.changed();
}

// --- Lifecycle ---

void TVConnection::start() {
    if (auto started = context_.startBridge(); !started) {
        context_.state.error = started.error();
        context_.changed();
    }
}

void TVConnection::shutdown() {
    context_.shutDown = true;
    ++generation_;
    retryTimer_.cancel();
    context_.jobs.pairing->shutdown();
    context_.jobs.watcher->shutdown();
    context_.bridge.stop();
}

void TVConnection::suspend() {
    suspended_ = true;
    retryTimer_.cancel();
    ++generation_;
    clearConnection();
    context_.jobs.watcher->reset();
    if (context_.state.pairingDevice) context_.jobs.pairing->abandon();
    // Everything, watches included: the TVs will not hear from a sleeping computer.
    context_.requestIgnoringReply("disconnect", json::object());
    context_.changed();
}

void TVConnection::resume() {
    suspended_ = false;
    if (desiredID_) {
        if (const TVDevice* known = context_.state.knownDevice(*desiredID_)) {
            connect(TVDevice(*known), CredentialQueue::Initiator::kBackground);
        }
    }
    context_.jobs.watcher->ensureWatched();
    context_.changed();
}

// --- Scanning ---

void TVConnection::scan() {
    auto& state = context_.state;
    if (state.scanning || state.pairingDevice) return;
    if (auto started = context_.startBridge(); !started) {
        state.error = started.error();
        context_.changed();
        return;
    }
    state.scanning = true;
    state.error.clear();
    context_.changed();
    // this: a job of the store, which whileAlive holds for the call (so for all below).
    context_.bridge.request("scan", json::object(), SessionContext::kRequestTimeout,
                            context_.whileAlive([this](const json& reply) { scanReplied(reply); }));
}

void TVConnection::scanReplied(const json& reply) {
    context_.state.scanning = false;
    const json* notice = field(reply, "notice");
    context_.state.scanNotice = notice && notice->is_string() ? notice->get<std::string>() : "";
    context_.changed();
    if (context_.failure(reply)) return;
    std::vector<TVDevice> found;
    if (const json* listed = field(reply, "devices"); listed && listed->is_array()) {
        for (const auto& entry : *listed) {
            if (auto device = TVDevice::fromBridge(entry)) found.push_back(std::move(*device));
        }
    }
    context_.state.devices = std::move(found);
}

// --- Connecting ---

void TVConnection::connect(const TVDevice& device, CredentialQueue::Initiator initiator) {
    auto& state = context_.state;
    if (state.pairingDevice || context_.jobs.pairing->forgetting(device.id) || suspended_) return;
    const auto generation = ++generation_;
    context_.jobs.commands->clearVolume();
    desiredID_ = device.id;
    state.selectedID = device.id;
    retryTimer_.cancel();
    context_.changed();

    resetPlayback();
    state.connected = false;
    state.capabilities.clear();
    state.connecting = true;
    state.error.clear();
    context_.stateChanged();

    if (auto started = context_.startBridge(); !started) {
        state.error = started.error();
        clearConnection();
        return;
    }
    context_.keychain.load(
        device.id, initiator,
        context_.whileAlive([this, device, generation](const CredentialLoad& loaded) {
            credentialsLoaded(device, generation, loaded);
        }));
}

void TVConnection::credentialsLoaded(const TVDevice& device, std::uint64_t generation,
                                     const CredentialLoad& loaded) {
    if (generation != generation_ || desiredID_ != device.id) return;
    context_.changed();
    auto credentials = usableCredentials(device, loaded);
    if (!credentials && loaded.error) {
        context_.state.error = loaded.error->description();
        clearConnection();
        return;
    }
    if (!credentials) {
        desiredID_.reset();
        context_.jobs.pairing->pair(device);
        return;
    }
    json fields = {{"device", device.id}, {"credentials", std::move(*credentials)}};
    context_.bridge.request("connect", fields, SessionContext::kRequestTimeout,
                            context_.whileAlive([this, device, generation](const json& reply) {
                                connectReplied(device, generation, reply);
                            }));
}

void TVConnection::connectReplied(const TVDevice& device, std::uint64_t generation,
                                  const json& reply) {
    if (generation != generation_ || desiredID_ != device.id) return;
    context_.changed();
    context_.state.connecting = false;
    if (context_.failure(reply)) {
        clearConnection();
        scheduleReconnect();
        return;
    }
    // Now playing and the capabilities come with the "state" events that follow.
    context_.state.connected = true;
    retryDelay_ = SessionContext::kFirstRetryDelay;
    context_.defaults.setString(SessionDefaults::kLastDevice, device.id);
    context_.stateChanged();
    context_.jobs.watcher->ensureWatched();
}

void TVConnection::scheduleReconnect() {
    if (suspended_ || !desiredID_) return;
    const TVDevice* known = context_.state.knownDevice(*desiredID_);
    if (!known) return;
    retryTimer_ = context_.loop.postAfter(retryDelay_, context_.whileAlive([this, device = *known] {
        connect(device, CredentialQueue::Initiator::kBackground);
    }));
    retryDelay_ = std::min(2 * retryDelay_, SessionContext::kMaxRetryDelay);
}

void TVConnection::clearConnection() {
    auto& state = context_.state;
    resetPlayback();
    context_.jobs.commands->clearVolume();
    state.connected = false;
    state.connecting = false;
    state.capabilities.clear();
    if (desiredID_) state.statuses.erase(*desiredID_);
    context_.stateChanged();
}

void TVConnection::resetPlayback() {
    auto& state = context_.state;
    context_.jobs.commands->resetFeedback();
    state.playing = false;
    state.title.clear();
    state.artist.clear();
    state.app.clear();
    state.notice.clear();
    state.duration = 0;
    state.position = 0;
    state.power = "Unknown";
    state.textFocused = false;
    context_.changed();
}

// --- Letting go ---

void TVConnection::disconnect() {
    ++generation_;
    retryTimer_.cancel();
    auto previous = std::exchange(desiredID_, std::nullopt);
    clearConnection();
    if (previous) {
        context_.state.statuses.erase(*previous);
        context_.requestIgnoringReply("disconnect", {{"device", *previous}});
    }
    context_.jobs.watcher->ensureWatched();
    context_.changed();
}

void TVConnection::release(const std::string& id) {
    context_.jobs.watcher->unwatch(id);
    context_.state.statuses.erase(id);
    context_.requestIgnoringReply("disconnect", {{"device", id}});
    context_.changed();
}

bool TVConnection::can(RemoteAction action) const {
    return context_.state.connected && context_.state.capabilities.contains(action);
}

}  // namespace orvel

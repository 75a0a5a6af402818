// AppStore: the status record of every TV the bridge tells of, the watches on the saved TVs
// that are not connected (retried with a backoff while they fail), and following the TV that
// started playing last. Runs on the loop; the retry timer and every continuation hold the
// store weakly.

#include <algorithm>

#include "session/AppStore.hpp"
#include "session/CredentialJson.hpp"
#include "session/StatusReport.hpp"

namespace orvel {

using nlohmann::json;

void AppStore::record(const std::string& id, const json& event) {
    const auto report = StatusReport::parse(event);
    const double now = loop_.now();
    auto existing = state_.statuses.find(id);
    const bool hadRecord = existing != state_.statuses.end();
    TVStatus next = hadRecord ? existing->second : TVStatus{};
    const bool wasIdle = !hadRecord || !next.playing || !next.playingSince;

    next.connected = true;
    next.playing = report.playing;
    if (!report.playing) {
        next.playingSince.reset();
    } else if (wasIdle) {
        next.playingSince = now;
    }
    next.title = report.title;
    next.app = report.app;
    next.appID = report.appID;
    next.address = report.address;
    state_.progress[id] = Progress{report.artist, report.position, report.duration, now};
    next.power = report.power;
    next.capabilities = report.capabilities;
    // Identical events leave the record alone, so observers are not woken by them.
    if (!hadRecord || existing->second != next) {
        state_.statuses[id] = std::move(next);
        changed();
    }

    if (watchPending_.erase(id) > 0) watchDelay_ = kFirstRetryDelay;
    if (!hadRecord && desiredID_ != id) notifyStateChange();
}

// --- Watching ---

void AppStore::ensureWatched() {
    if (demo_ || !state_.followPlaying || suspended_ || state_.pairingDevice) return;
    // A copy: nothing below may change the list, but the walk must not depend on that.
    const auto saved = state_.savedDevices;
    for (const auto& device : saved) {
        if (desiredID_ == device.id || watchPending_.contains(device.id) ||
            forgettingDevices_.contains(device.id)) {
            continue;
        }
        auto status = state_.statuses.find(device.id);
        if (status != state_.statuses.end() && status->second.connected) continue;
        // No bridge: the next trigger tries again; the backoff is for TVs that fail.
        if (startBridge()) return;
        watchPending_.insert(device.id);
        keychain_.load(device.id, [weak = weak_from_this(), device](const CredentialLoad& loaded) {
            if (auto self = weak.lock()) self->watchCredentialsLoaded(device, loaded);
        });
    }
}

void AppStore::watchCredentialsLoaded(const TVDevice& device, const CredentialLoad& loaded) {
    // Released, forgotten or paired meanwhile.
    if (!watchPending_.contains(device.id)) return;
    if (loaded.error || (loaded.credentials.empty() && device.needsPairing())) {
        watchPending_.erase(device.id);
        scheduleWatch();
        return;
    }
    json fields = {{"device", device.id}, {"credentials", credentialsObject(loaded.credentials)}};
    bridge_->request("watch", fields, kRequestTimeout,
                     [weak = weak_from_this(), id = device.id](const json& reply) {
                         if (auto self = weak.lock()) self->watchReplied(id, reply);
                     });
}

void AppStore::watchReplied(const std::string& id, const json& reply) {
    // Any "error" counts, whatever its type; success waits for the TV's first status.
    if (!reply.is_object() || !reply.contains("error")) return;
    watchPending_.erase(id);
    scheduleWatch();
}

void AppStore::scheduleWatch() {
    if (!state_.followPlaying || suspended_) return;
    // Replacing the handle cancels the retry already pending: at most one is ever due.
    watchTimer_ = loop_.postAfter(watchDelay_, [weak = weak_from_this()] {
        if (auto self = weak.lock()) self->ensureWatched();
    });
    watchDelay_ = std::min(2 * watchDelay_, kMaxRetryDelay);
}

void AppStore::resetWatching() {
    watchTimer_.cancel();
    watchPending_.clear();
    watchDelay_ = kFirstRetryDelay;
    std::erase_if(state_.statuses, [&](const auto& entry) { return desiredID_ != entry.first; });
    notifyStateChange();
}

void AppStore::applyFollowPreference() {
    if (demo_) return;
    if (state_.followPlaying) {
        ensureWatched();
        return;
    }
    watchTimer_.cancel();
    watchPending_.clear();
    std::vector<std::string> watched;
    for (const auto& entry : state_.statuses) {
        if (desiredID_ != entry.first) watched.push_back(entry.first);
    }
    for (const auto& id : watched) {
        state_.statuses.erase(id);
        requestIgnoringReply("disconnect", {{"device", id}});
    }
    notifyStateChange();
}

// --- Following ---

std::vector<FollowPolicy::Candidate> AppStore::followCandidates() const {
    std::vector<FollowPolicy::Candidate> candidates;
    candidates.reserve(state_.savedDevices.size());
    for (const auto& device : state_.savedDevices) {
        FollowPolicy::Candidate candidate{device.id, false, 0};
        if (auto status = state_.statuses.find(device.id); status != state_.statuses.end()) {
            candidate.playing = status->second.playing;
            candidate.since = status->second.playingSince.value_or(0);
        }
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}

std::optional<std::string> AppStore::followTarget() const {
    const auto candidates = followCandidates();
    return FollowPolicy::target(state_.selectedID, state_.connected && state_.playing, candidates);
}

void AppStore::followPlayback() {
    if (!state_.followPlaying || state_.pairingDevice) return;
    ensureWatched();
    auto target = followTarget();
    if (!target) return;
    const auto& saved = state_.savedDevices;
    auto found = std::find_if(saved.begin(), saved.end(),
                              [&](const TVDevice& device) { return device.id == *target; });
    // A copy: the hooks that connecting calls may change the saved list.
    if (found != saved.end()) connect(TVDevice(*found));
}

std::optional<AppStore::MediaKeyTarget> AppStore::mediaKeyTarget() const {
    if (auto target = followTarget()) {
        auto status = state_.statuses.find(*target);
        if (status != state_.statuses.end() && status->second.connected) {
            return MediaKeyTarget{*target, status->second.capabilities};
        }
    }
    if (state_.connected) return MediaKeyTarget{state_.selectedID, state_.capabilities};
    return std::nullopt;
}

}  // namespace orvel

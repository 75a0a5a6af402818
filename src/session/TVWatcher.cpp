#include "session/TVWatcher.hpp"

#include <algorithm>

#include "session/CredentialJson.hpp"
#include "session/PairingFlow.hpp"
#include "session/StatusReport.hpp"
#include "session/TVConnection.hpp"

namespace orvel {

using nlohmann::json;

bool TVWatcher::isDesired(const std::string& id) const {
    return context_.jobs.connection->isDesired(id);
}

void TVWatcher::record(const std::string& id, const json& event) {
    auto& state = context_.state;
    const auto report = StatusReport::parse(event);
    const double now = context_.loop.now();
    auto existing = state.statuses.find(id);
    const bool hadRecord = existing != state.statuses.end();
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
    state.progress[id] = Progress{report.artist, report.position, report.duration, now};
    next.power = report.power;
    next.capabilities = report.capabilities;
    // Identical events leave the record alone, so observers are not woken by them.
    if (!hadRecord || existing->second != next) {
        state.statuses[id] = std::move(next);
        context_.changed();
    }

    if (watchPending_.erase(id) > 0) watchDelay_ = SessionContext::kFirstRetryDelay;
    if (!hadRecord && !isDesired(id)) context_.stateChanged();
}

// --- Watching ---

void TVWatcher::ensureWatched() {
    const auto& state = context_.state;
    if (!state.followPlaying || context_.jobs.connection->suspended() || state.pairingDevice)
        return;
    // A copy: nothing below may change the list, but the walk must not depend on that.
    const auto saved = state.savedDevices;
    for (const auto& device : saved) {
        if (isDesired(device.id) || watchPending_.contains(device.id) ||
            context_.jobs.pairing->forgetting(device.id)) {
            continue;
        }
        auto status = state.statuses.find(device.id);
        if (status != state.statuses.end() && status->second.connected) continue;
        // No bridge: the next trigger tries again; the backoff is for TVs that fail.
        if (!context_.startBridge()) return;
        watchPending_.insert(device.id);
        // this: a job of the store, which whileAlive holds for the call (so for all below).
        context_.keychain.load(device.id, CredentialQueue::Initiator::kBackground,
                               context_.whileAlive([this, device](const CredentialLoad& loaded) {
                                   credentialsLoaded(device, loaded);
                               }));
    }
}

void TVWatcher::credentialsLoaded(const TVDevice& device, const CredentialLoad& loaded) {
    // Released, forgotten or paired meanwhile.
    if (!watchPending_.contains(device.id)) return;
    auto credentials = usableCredentials(device, loaded);
    if (!credentials) {
        watchPending_.erase(device.id);
        scheduleWatch();
        return;
    }
    json fields = {{"device", device.id}, {"credentials", std::move(*credentials)}};
    context_.bridge.request("watch", fields, SessionContext::kRequestTimeout,
                            context_.whileAlive([this, id = device.id](const json& reply) {
                                watchReplied(id, reply);
                            }));
}

void TVWatcher::watchReplied(const std::string& id, const json& reply) {
    // Any "error" counts, whatever its type; success waits for the TV's first status.
    if (!reply.is_object() || !reply.contains("error")) return;
    watchPending_.erase(id);
    scheduleWatch();
}

void TVWatcher::scheduleWatch() {
    if (!context_.state.followPlaying || context_.jobs.connection->suspended()) return;
    // Replacing the handle cancels the retry already pending: at most one is ever due.
    watchTimer_ =
        context_.loop.postAfter(watchDelay_, context_.whileAlive([this] { ensureWatched(); }));
    watchDelay_ = std::min(2 * watchDelay_, SessionContext::kMaxRetryDelay);
}

void TVWatcher::lost(const std::string& id) {
    context_.state.statuses.erase(id);
    watchPending_.erase(id);
    scheduleWatch();
    context_.stateChanged();
}

void TVWatcher::unwatch(const std::string& id) {
    watchPending_.erase(id);
}

void TVWatcher::reset() {
    watchTimer_.cancel();
    watchPending_.clear();
    watchDelay_ = SessionContext::kFirstRetryDelay;
    std::erase_if(context_.state.statuses,
                  [&](const auto& entry) { return !isDesired(entry.first); });
    context_.stateChanged();
}

void TVWatcher::shutdown() {
    watchTimer_.cancel();
}

void TVWatcher::applyFollowPreference() {
    if (context_.state.followPlaying) {
        ensureWatched();
        return;
    }
    watchTimer_.cancel();
    watchPending_.clear();
    std::vector<std::string> watched;
    for (const auto& entry : context_.state.statuses) {
        if (!isDesired(entry.first)) watched.push_back(entry.first);
    }
    for (const auto& id : watched) {
        context_.state.statuses.erase(id);
        context_.requestIgnoringReply("disconnect", {{"device", id}});
    }
    context_.stateChanged();
}

// --- Following ---

std::vector<FollowPolicy::Candidate> TVWatcher::followCandidates() const {
    const auto& state = context_.state;
    std::vector<FollowPolicy::Candidate> candidates;
    candidates.reserve(state.savedDevices.size());
    for (const auto& device : state.savedDevices) {
        FollowPolicy::Candidate candidate{device.id, false, 0};
        if (auto status = state.statuses.find(device.id); status != state.statuses.end()) {
            candidate.playing = status->second.playing;
            candidate.since = status->second.playingSince.value_or(0);
        }
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}

std::optional<std::string> TVWatcher::followTarget() const {
    const auto& state = context_.state;
    return FollowPolicy::target(state.selectedID, state.connected && state.playing,
                                followCandidates());
}

void TVWatcher::followPlayback() {
    if (!context_.state.followPlaying || context_.state.pairingDevice) return;
    ensureWatched();
    auto target = followTarget();
    if (!target) return;
    // A copy: the hooks that connecting calls may change the saved list.
    if (const TVDevice* saved = context_.state.savedDevice(*target)) {
        context_.jobs.connection->connect(TVDevice(*saved),
                                          CredentialQueue::Initiator::kBackground);
    }
}

std::optional<TVWatcher::MediaKeyTarget> TVWatcher::mediaKeyTarget() const {
    const auto& state = context_.state;
    if (auto target = followTarget()) {
        auto status = state.statuses.find(*target);
        if (status != state.statuses.end() && status->second.connected) {
            return MediaKeyTarget{*target, status->second.capabilities};
        }
    }
    if (state.connected) return MediaKeyTarget{state.selectedID, state.capabilities};
    return std::nullopt;
}

}  // namespace orvel

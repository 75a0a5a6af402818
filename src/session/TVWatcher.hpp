#pragma once
// TVWatcher: the status record of every TV the bridge tells of, the watches on the saved TVs
// that are not connected (retried with a backoff while they fail), and following the TV that
// started playing last.
//
//   watcher.ensureWatched();       // a watch for each saved TV that lacks one
//   watcher.followPlayback();      // connect the TV that started playing last
//
// A job of AppStore (see SessionContext); loop thread only. The retry timer and every
// continuation hold the store weakly. Only with the followPlaying preference on.

#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/FollowPolicy.hpp"
#include "core/RemoteAction.hpp"
#include "session/SessionContext.hpp"
#include "session/TVDevice.hpp"

namespace orvel {

class TVWatcher {
public:
    struct MediaKeyTarget {
        std::string id;
        std::set<RemoteAction> capabilities;
        bool operator==(const MediaKeyTarget&) const = default;
    };

    explicit TVWatcher(SessionContext& context) : context_(context) {}

    // A "state" event for TV `id`, connected or watched.
    void record(const std::string& id, const nlohmann::json& event);
    void ensureWatched();
    // The bridge dropped the watched TV `id`: it is watched again after the backoff.
    void lost(const std::string& id);
    // No watch for `id` is awaited any more (released, paired or forgotten).
    void unwatch(const std::string& id);
    // Every watch and record of a TV other than the desired one ends.
    void reset();
    void shutdown();
    void applyFollowPreference();

    void followPlayback();
    std::optional<MediaKeyTarget> mediaKeyTarget() const;

private:
    void credentialsLoaded(const TVDevice& device, const CredentialLoad& loaded);
    void watchReplied(const std::string& id, const nlohmann::json& reply);
    void scheduleWatch();
    std::vector<FollowPolicy::Candidate> followCandidates() const;
    std::optional<std::string> followTarget() const;
    bool isDesired(const std::string& id) const;

    SessionContext& context_;
    CancelHandle watchTimer_;
    double watchDelay_ = SessionContext::kFirstRetryDelay;
    std::set<std::string> watchPending_;
};

}  // namespace orvel

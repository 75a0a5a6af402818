#include "shell/MediaPlayerState.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/InputPolicy.hpp"
#include "core/PercentEncoding.hpp"
#include "core/TVSummary.hpp"

namespace orvel {
namespace {

constexpr double kMicroseconds = 1e6;

// FNV-1a: the same item gets the same id in every run.
std::string trackID(const std::vector<std::string_view>& parts) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::string_view part : parts) {
        for (const char c : part) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ULL;
        }
        hash ^= 0xFF;  // so that "ab" + "c" and "a" + "bc" differ
        hash *= 1099511628211ULL;
    }
    constexpr std::string_view kDigits = "0123456789abcdef";
    std::string hex(16, '0');
    for (auto digit = hex.rbegin(); digit != hex.rend(); ++digit, hash >>= 4) {
        *digit = kDigits[hash & 0xF];
    }
    return "/quillon/orvel/Remote/track/" + hex;
}

std::int64_t microseconds(double seconds) {
    return static_cast<std::int64_t>(std::llround(seconds * kMicroseconds));
}

}  // namespace

MediaPlayerState MediaPlayerState::make(const AppState& state, const std::string& tvID,
                                        const ArtFile& artFile) {
    MediaPlayerState player;
    player.tvID = tvID;
    if (tvID.empty()) return player;
    static const TVStatus kUnknown;
    const auto found = state.statuses.find(tvID);
    const TVStatus& record = found == state.statuses.end() ? kUnknown : found->second;
    // The selected TV speaks through the remote's live state; others through their records.
    const bool selected = tvID == state.selectedID;
    player.connected = selected ? state.connected : record.connected;
    if (!player.connected) return player;

    const bool playing = selected ? state.playing : record.playing;
    const std::string& title = selected ? state.title : record.title;
    const std::string& app = selected ? state.app : record.app;
    std::string artist = selected ? state.artist : std::string();
    player.duration = selected ? state.duration : 0;
    if (const auto progress = state.progress.find(tvID); progress != state.progress.end()) {
        if (!selected) {
            artist = progress->second.artist;
            player.duration = progress->second.duration;
        }
        player.reportedPosition = progress->second.position;
        player.reportedAt = progress->second.at;
    }

    player.capabilities = selected ? state.capabilities : record.capabilities;
    player.status = playing ? Status::playing : !title.empty() ? Status::paused : Status::stopped;
    if (!title.empty() || !app.empty()) {
        Metadata& m = player.metadata;
        m.trackID = trackID({tvID, app, title, artist});
        m.title = title.empty() ? app : title;
        if (!artist.empty()) m.artists = {artist};
        m.album = app;
        if (player.duration > 0) m.length = microseconds(player.duration);
        const auto icon = TVSummary::appIconUrl(tvID, record.address, record.appID);
        if (icon && artFile) {
            if (const std::string file = artFile(*icon); !file.empty()) m.artUrl = fileUrl(file);
        }
    }
    if (selected && state.volume) player.volume = std::clamp(*state.volume / 100, 0.0, 1.0);
    player.canSetVolume = selected && player.capabilities.contains(RemoteAction::setVolume);
    return player;
}

std::string_view MediaPlayerState::statusText(Status status) {
    switch (status) {
        case Status::playing:
            return "Playing";
        case Status::paused:
            return "Paused";
        case Status::stopped:
            break;
    }
    return "Stopped";
}

std::string MediaPlayerState::fileUrl(std::string_view path) {
    return "file://" + percentEncode(path, "/");
}

bool MediaPlayerState::canPlay() const {
    return capabilities.contains(RemoteAction::play) ||
           capabilities.contains(RemoteAction::playPause);
}

bool MediaPlayerState::canPause() const {
    return capabilities.contains(RemoteAction::pause) ||
           capabilities.contains(RemoteAction::playPause);
}

bool MediaPlayerState::canGoNext() const {
    return capabilities.contains(RemoteAction::next);
}

bool MediaPlayerState::canGoPrevious() const {
    return capabilities.contains(RemoteAction::previous);
}

bool MediaPlayerState::canSeek() const {
    return capabilities.contains(RemoteAction::skipForward) ||
           capabilities.contains(RemoteAction::skipBackward);
}

std::optional<RemoteAction> MediaPlayerState::action(Request request) const {
    const bool playing = status == Status::playing;
    auto only = [&](RemoteAction wanted) -> std::optional<RemoteAction> {
        if (capabilities.contains(wanted)) return wanted;
        return std::nullopt;
    };
    switch (request) {
        case Request::play:
            // A toggle while playing would pause.
            if (auto play = only(RemoteAction::play)) return play;
            return playing ? std::nullopt : only(RemoteAction::playPause);
        case Request::pause:
        case Request::stop:
            if (auto pause = only(RemoteAction::pause)) return pause;
            return playing ? only(RemoteAction::playPause) : std::nullopt;
        case Request::playPause:
            return InputPolicy::supportedAction(RemoteAction::playPause, playing, capabilities);
        case Request::next:
            return only(RemoteAction::next);
        case Request::previous:
            return only(RemoteAction::previous);
    }
    return std::nullopt;
}

std::optional<RemoteAction> MediaPlayerState::seekAction(std::int64_t offsetMicroseconds) const {
    if (offsetMicroseconds == 0) return std::nullopt;
    const RemoteAction skip =
        offsetMicroseconds > 0 ? RemoteAction::skipForward : RemoteAction::skipBackward;
    if (!capabilities.contains(skip)) return std::nullopt;
    return skip;
}

std::int64_t MediaPlayerState::position(double now) const {
    const double seconds = TVSummary::currentPosition(reportedPosition, reportedAt, duration, now,
                                                      status == Status::playing);
    return microseconds(std::max(0.0, seconds));
}

bool MediaPlayerState::jumped(const MediaPlayerState& before, const MediaPlayerState& after,
                              double now) {
    if (after.metadata.trackID == kNoTrack) return false;
    if (after.metadata.trackID != before.metadata.trackID) return true;
    const auto apart = std::llabs(after.position(now) - before.position(now));
    return apart > microseconds(kJumpSeconds);
}

}  // namespace orvel

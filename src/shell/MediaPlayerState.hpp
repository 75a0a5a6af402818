#pragma once
// MediaPlayerState: what the desktop's media controls are told about one TV, worked out from
// the session's published state, and which remote action each of their requests stands for.
// The D-Bus player (MediaPlayer) only marshals it, so these rules are tested without a bus.
//
//   auto player = MediaPlayerState::make(store.state(), target, loop.now(), artFile);
//   if (auto action = player.action(MediaPlayerState::Request::playPause)) store.send(*action);
//
// A plain value without Qt, rebuilt on every change; any thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/RemoteAction.hpp"
#include "session/AppState.hpp"

namespace orvel {

struct MediaPlayerState {
    enum class Status { playing, paused, stopped };
    // The transport requests of the player interface; stop counts as pause.
    enum class Request { play, pause, playPause, stop, next, previous };

    // The track id of no track at all, as the desktop expects it.
    static constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
    // A report this far off from where the last one runs to is a jump the desktop must hear.
    static constexpr double kJumpSeconds = 2.0;

    struct Metadata {
        std::string trackID = kNoTrack;  // an object path, new for every item
        std::string title;               // the item's, else the app's name
        std::vector<std::string> artists;
        std::string album;                   // the app
        std::optional<std::int64_t> length;  // microseconds; none while unknown
        std::string artUrl;                  // file:// of the kept app icon; empty: none
        bool operator==(const Metadata&) const = default;
    };

    std::string tvID;  // empty: no TV to speak for
    bool connected = false;
    Status status = Status::stopped;
    Metadata metadata;
    std::set<RemoteAction> capabilities;
    std::optional<double> volume;  // 0 to 1; none while the TV reports none
    bool canSetVolume = false;
    // Where the item stood at the latest report, to extrapolate from.
    double reportedPosition = 0;  // seconds
    double reportedAt = 0;        // uptime
    double duration = 0;          // seconds; 0: unknown

    // The file that keeps the icon at an app icon address; empty while none is kept.
    using ArtFile = std::function<std::string(const std::string& iconUrl)>;

    // The player for TV `tvID` (the media keys' target, else the selected TV; empty: none).
    static MediaPlayerState make(const AppState& state, const std::string& tvID,
                                 const ArtFile& artFile = {});

    static std::string_view statusText(Status status);  // "Playing", "Paused", "Stopped"
    // "file://" and the path, each byte outside letters, digits, "-_./" as %XX.
    static std::string fileUrl(std::string_view path);

    bool canControl() const { return connected; }
    bool canPlay() const;
    bool canPause() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canSeek() const;

    // What the request sends now; none when the TV cannot do it or it would change nothing.
    std::optional<RemoteAction> action(Request request) const;
    // A skip in the offset's direction; none for 0 or a direction the TV cannot skip.
    std::optional<RemoteAction> seekAction(std::int64_t offsetMicroseconds) const;

    // Microseconds into the item at uptime `now`, extrapolated while playing.
    std::int64_t position(double now) const;
    // True when `after` holds a new item, or stands at `now` where extrapolating `before` does
    // not reach: the desktop is told with Seeked.
    static bool jumped(const MediaPlayerState& before, const MediaPlayerState& after, double now);

    bool operator==(const MediaPlayerState&) const = default;
};

}  // namespace orvel

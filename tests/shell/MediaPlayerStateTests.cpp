// What the desktop's media controls are told about a TV for a given session state, which action
// each of their requests sends, where the position stands and when it jumped. No bus.

#include "shell/MediaPlayerState.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace orvel {
namespace {

using nlohmann::json;
using Request = MediaPlayerState::Request;

const std::string kRoku = "roku:sim-bedroom";
const std::string kApple = "sim:living-room";
const std::set<RemoteAction> kTransport = {RemoteAction::play,        RemoteAction::pause,
                                           RemoteAction::next,        RemoteAction::previous,
                                           RemoteAction::skipForward, RemoteAction::skipBackward,
                                           RemoteAction::setVolume};

// The selected Apple TV, connected and playing an episode.
void watching(AppState& s) {
    s.selectedID = kApple;
    s.connected = s.playing = true;
    s.title = "Night Harbor";
    s.artist = "Season 1, Episode 3";
    s.app = "Netflix";
    s.duration = 2640;
    s.volume = 40;
    s.capabilities = kTransport;
    s.progress[kApple] = {"Season 1, Episode 3", 12, 2640, 100};
}

// A Roku that is not selected, watched while it plays; only the selected TV takes a volume.
void otherPlaying(AppState& s) {
    watching(s);
    TVStatus& roku = s.statuses[kRoku];
    roku.connected = roku.playing = true;
    roku.title = "Ten Minutes of Rain";
    roku.app = "YouTube";
    roku.appID = "837";
    roku.address = "127.0.0.1:8060";
    roku.capabilities = {RemoteAction::playPause, RemoteAction::next, RemoteAction::setVolume};
    s.progress[kRoku] = {"Quiet Channel", 30, 600, 90};
}

// The player in one line: status, "#" for an item, title|artists|album|length|art|volume| and
// a letter per thing it can do (Control, Play, pause, Next, Previous, Seek, Volume).
std::string seen(const MediaPlayerState& p) {
    const auto& m = p.metadata;
    std::string line = std::string(MediaPlayerState::statusText(p.status)) +
                       (m.trackID != MediaPlayerState::kNoTrack ? " #" : " -") + m.title + "|";
    for (const auto& artist : m.artists) line += artist + ",";
    line += "|" + m.album + "|" + (m.length ? std::to_string(*m.length) : "") + "|" + m.artUrl +
            "|" + (p.volume ? json(*p.volume).dump() : "") + "|";
    for (const auto& [letter, yes] : {std::pair{'C', p.canControl()},
                                      {'P', p.canPlay()},
                                      {'p', p.canPause()},
                                      {'N', p.canGoNext()},
                                      {'R', p.canGoPrevious()},
                                      {'S', p.canSeek()},
                                      {'V', p.canSetVolume}}) {
        if (yes) line += letter;
    }
    return line;
}

TEST(MediaPlayerState, SpeaksForTheSelectedTVOrAWatchedOneFromTheirRecords) {
    const char* none = "Stopped -||||||";
    const auto artFile = [](const std::string& url) {
        return url == "http://127.0.0.1:8060/query/icon/837"
                   ? std::string("/home/u/.cache/Orvel Remote/app-icons/0a1b")
                   : std::string();
    };
    struct Row {
        const char* what;
        std::function<void(AppState&)> change;
        std::string tvID;
        std::string expected;
    };
    const Row rows[] = {
        {"no TV at all", watching, "", none},
        {"the selected TV, not connected",
         [](AppState& s) {
             watching(s);
             s.connected = false;
         },
         kApple, none},
        {"the selected TV playing", watching, kApple,
         "Playing #Night Harbor|Season 1, Episode 3,|Netflix|2640000000||0.4|CPpNRSV"},
        {"paused, on a TV that only toggles and says no volume",
         [](AppState& s) {
             watching(s);
             s.playing = false;
             s.artist.clear();
             s.duration = 0;
             s.volume.reset();
             s.capabilities = {RemoteAction::playPause};
         },
         kApple, "Paused #Night Harbor||Netflix||||CPp"},
        {"an app in front with nothing playing",
         [](AppState& s) {
             watching(s);
             s.playing = false;
             s.title.clear();
             s.artist.clear();
             s.duration = 0;
         },
         kApple, "Stopped #Netflix||Netflix|||0.4|CPpNRSV"},
        {"a watched Roku: its record, its progress, its kept icon, no volume", otherPlaying, kRoku,
         "Playing #Ten Minutes of Rain|Quiet Channel,|YouTube|600000000|"
         "file:///home/u/.cache/Orvel%20Remote/app-icons/0a1b||CPpN"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        AppState state;
        row.change(state);
        EXPECT_EQ(seen(MediaPlayerState::make(state, row.tvID, artFile)), row.expected);
    }
}

TEST(MediaPlayerState, EachItemHasATrackOfItsOwn) {
    AppState state;
    watching(state);
    const auto first = MediaPlayerState::make(state, kApple).metadata.trackID;
    EXPECT_EQ(first.rfind("/quillon/orvel/Remote/track/", 0), 0u) << first;
    EXPECT_EQ(MediaPlayerState::make(state, kApple).metadata.trackID, first) << "not stable";
    state.artist = "Season 1, Episode 4";
    EXPECT_NE(MediaPlayerState::make(state, kApple).metadata.trackID, first);
}

TEST(MediaPlayerState, RequestsSendWhatTheTVTakesAndNothingThatWouldUndoThem) {
    using enum RemoteAction;
    struct Row {
        std::set<RemoteAction> capabilities;
        bool playing;
        Request request;
        std::optional<RemoteAction> sent;
    };
    const Row rows[] = {
        {{play, pause, playPause}, false, Request::play, play},
        {{playPause}, false, Request::play, playPause},
        {{playPause}, true, Request::play, std::nullopt},
        {{playPause}, true, Request::pause, playPause},
        {{playPause}, false, Request::pause, std::nullopt},
        {{pause}, true, Request::stop, pause},
        {{playPause}, true, Request::stop, playPause},
        {{play, pause}, true, Request::playPause, pause},
        {{play, pause}, false, Request::playPause, play},
        {{playPause}, false, Request::playPause, playPause},
        {{}, true, Request::playPause, std::nullopt},
        {{next, previous}, true, Request::next, next},
        {{next}, true, Request::previous, std::nullopt},
        {{previous}, false, Request::previous, previous},
    };
    for (const auto& row : rows) {
        MediaPlayerState player;
        player.capabilities = row.capabilities;
        player.status =
            row.playing ? MediaPlayerState::Status::playing : MediaPlayerState::Status::paused;
        EXPECT_EQ(player.action(row.request), row.sent)
            << static_cast<int>(row.request) << " playing " << row.playing;
    }
}

TEST(MediaPlayerState, SeekingSkipsInTheOffsetsDirection) {
    using enum RemoteAction;
    struct Row {
        std::set<RemoteAction> capabilities;
        std::int64_t offset;
        std::optional<RemoteAction> sent;
    };
    const Row rows[] = {
        {{skipForward, skipBackward}, 10'000'000, skipForward},
        {{skipForward, skipBackward}, -1, skipBackward},
        {{skipForward}, -5'000'000, std::nullopt},
        {{skipForward, skipBackward}, 0, std::nullopt},
    };
    for (const auto& row : rows) {
        MediaPlayerState player;
        player.capabilities = row.capabilities;
        EXPECT_EQ(player.seekAction(row.offset), row.sent) << row.offset;
    }
}

MediaPlayerState at(double position, double reportedAt, bool playing, std::string track = "/t/1") {
    MediaPlayerState player;
    player.status = playing ? MediaPlayerState::Status::playing : MediaPlayerState::Status::paused;
    player.metadata.trackID = std::move(track);
    player.reportedPosition = position;
    player.reportedAt = reportedAt;
    player.duration = 60;
    return player;
}

TEST(MediaPlayerState, PositionRunsOnWhilePlayingUpToTheEnd) {
    EXPECT_EQ(at(10, 100, true).position(105), 15'000'000);
    EXPECT_EQ(at(10, 100, false).position(105), 10'000'000);
    EXPECT_EQ(at(58, 100, true).position(105), 60'000'000);
}

TEST(MediaPlayerState, AJumpIsANewItemOrAReportAwayFromTheExtrapolation) {
    struct Row {
        const char* what;
        MediaPlayerState before;
        MediaPlayerState after;
        bool jumped;
    };
    const Row rows[] = {
        {"the next report where playing took it", at(10, 100, true), at(15, 105, true), false},
        {"a little drift", at(10, 100, true), at(16.5, 105, true), false},
        {"skipped forward", at(10, 100, true), at(45, 105, true), true},
        {"skipped back while paused", at(30, 100, false), at(20, 105, false), true},
        {"a new item", at(10, 100, true), at(15, 105, true, "/t/2"), true},
        {"no item any more", at(10, 100, true), at(0, 105, true, MediaPlayerState::kNoTrack),
         false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MediaPlayerState::jumped(row.before, row.after, 105), row.jumped) << row.what;
    }
}

}  // namespace
}  // namespace orvel

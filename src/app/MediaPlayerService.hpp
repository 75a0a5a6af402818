#pragma once
// MediaPlayerService: the TV in the desktop's media controls. A MediaPlayer on the session bus
// speaks for the TV the media keys drive (AppStore::mediaKeyTarget()), else the selected one;
// it is updated from the session's change notifications, its requests go to that TV through
// the store, and the preference "Show the TV in the desktop's media controls" takes it off the
// bus (its name released) and puts it back at once. Roku app icons kept by the icon cache are
// its art, fetched the first time they are missing.
//
//   MediaPlayerService player(loop, store, {.raise = [&] { remote.show(); },
//                                           .quit = [&] { app.quit(); }});
//
// Owner: DesktopApp, or main() headless, once the session started. Thread: the Qt loop's.
// Without a session bus it serves nothing and says nothing; turning the preference off and on
// tries again. The store (and the icon cache) must outlive it.

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/MainLoop.hpp"
#include "session/Subscription.hpp"

namespace orvel {

class AppIconCache;
class AppStore;
class MediaPlayer;
struct MediaPlayerState;

class MediaPlayerService {
public:
    struct Options {
        std::function<void()> raise = {};  // opens the remote; empty (headless): cannot raise
        std::function<void()> quit = {};
        AppIconCache* icons = nullptr;                     // none: no art
        std::optional<QString> busAddress = std::nullopt;  // none: the session bus
    };

    MediaPlayerService(MainLoop& loop, AppStore& store, Options options);
    ~MediaPlayerService();
    MediaPlayerService(const MediaPlayerService&) = delete;
    MediaPlayerService& operator=(const MediaPlayerService&) = delete;

    // Null while the preference is off or no bus answered.
    const MediaPlayer* player() const { return player_.get(); }

private:
    void refresh();
    void startPlayer();
    MediaPlayerState current();
    std::string artFile(const std::string& iconUrl);

    MainLoop& loop_;
    AppStore& store_;
    Options options_;
    bool on_ = false;  // the preference as last applied
    std::unique_ptr<MediaPlayer> player_;
    std::set<std::string> iconsAsked_;
    Subscription watch_;
    // Icon answers reach the service through this; it expires first.
    std::shared_ptr<MediaPlayerService*> self_ = std::make_shared<MediaPlayerService*>(this);
};

}  // namespace orvel

#pragma once
// MediaKeys: Super with the media and volume keys drives the TV that media keys drive (the
// session's mediaKeyTarget()), while the same keys without Super keep working on the desktop.
// It holds the keys through a MediaKeyBackend only while a target exists and the matching
// preference (mediaKeys for playback, commandVolume for volume) is on, decides each press with
// InputPolicy and MediaKeyPressTracker, sends on a later turn of the loop, publishes the state
// of the capture as the store's keyboardAccess, and can keep a diagnostics file for support.
//
//   auto keys = MediaKeys::create(loop, store, std::make_unique<X11MediaKeyBackend>(...),
//                                 options.mediaKeyDiagnostics);
//   store->setOnStateChange([&] { keys->sync(); });
//   ...
//   keys->stop();
//
// Owner: the application (shared_ptr; the 2-second poll and every deferred send hold it weakly;
// a send is dropped when capture was suspended or the target changed meanwhile). Thread: the
// loop thread only. Ends with stop(): the poll ends and every key is released.

#include <filesystem>
#include <memory>
#include <optional>

#include "input/MediaKeyBackend.hpp"
#include "platform/MainLoop.hpp"

namespace orvel {

class AppStore;

class MediaKeys : public std::enable_shared_from_this<MediaKeys> {
public:
    static constexpr double kPollInterval = 2.0;

    // Syncs once and starts the poll. `diagnostics`: the file that "--media-key-diagnostics"
    // names, or nothing.
    static std::shared_ptr<MediaKeys> create(MainLoop& loop, AppStore& store,
                                             std::unique_ptr<MediaKeyBackend> backend,
                                             std::optional<std::filesystem::path> diagnostics);

    // Brings the capture in line with the backend, the session, the target and the preferences.
    void sync();
    // Sleep, a locked or inactive session: capture off (suspended) until resumed.
    void setSuspended(bool suspended);
    void requestAccess();
    void stop();
};

}  // namespace orvel

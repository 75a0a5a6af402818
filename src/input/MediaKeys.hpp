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
// a send is dropped when capture was suspended or the target changed meanwhile). The loop and
// the store must outlive it. Thread: the loop thread only. Ends with stop(): the poll ends and
// every key is released; a stopped instance never captures again.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/MediaKeyPressTracker.hpp"
#include "core/RemoteAction.hpp"
#include "input/MediaKeyBackend.hpp"
#include "platform/MainLoop.hpp"
#include "session/AppStore.hpp"

namespace orvel {

class MediaKeys : public std::enable_shared_from_this<MediaKeys> {
public:
    static constexpr double kPollInterval = 2.0;

    // Syncs once and starts the poll. `backend`: never null. `diagnostics`: the file that
    // "--media-key-diagnostics" names, or nothing.
    static std::shared_ptr<MediaKeys> create(MainLoop& loop, AppStore& store,
                                             std::unique_ptr<MediaKeyBackend> backend,
                                             std::optional<std::filesystem::path> diagnostics);
    MediaKeys(const MediaKeys&) = delete;
    MediaKeys& operator=(const MediaKeys&) = delete;
    ~MediaKeys();

    // Brings the capture in line with the backend, the session, the target and the preferences.
    void sync();
    // Sleep, a locked or inactive session: capture off (suspended) until resumed.
    void setSuspended(bool suspended);
    void requestAccess();
    void stop();

private:
    MediaKeys(MainLoop& loop, AppStore& store, std::unique_ptr<MediaKeyBackend> backend,
              std::optional<std::filesystem::path> diagnostics);
    void armPoll();
    // A new target (or none): its presses start afresh, and sends still on their way are void.
    void follow(const std::optional<AppStore::MediaKeyTarget>& target);
    // Holds exactly `codes`; false when the backend refused (then nothing is held).
    bool hold(const std::set<std::uint16_t>& codes);
    void release();
    // The backend's presses: true when the application takes the event.
    bool handle(const MediaKeyPress& press, bool super, bool otherModifiers);
    MediaKeyBackend::Presses pressHandler();
    void writeDiagnostics(MediaKeyBackend::Readiness readiness,
                          const std::optional<AppStore::MediaKeyTarget>& target);

    MainLoop& loop_;
    AppStore& store_;
    std::unique_ptr<MediaKeyBackend> backend_;
    const std::optional<std::filesystem::path> diagnostics_;

    MediaKeyPressTracker presses_;
    std::optional<std::string> targetID_;  // whose presses the tracker holds
    std::set<std::uint16_t> held_;         // what the backend holds for us
    bool holding_ = false;                 // the last capture of held_ succeeded
    bool suspended_ = false;
    bool stopped_ = false;
    // Moves on every suspension, target change and stop: a deferred send of an older one is
    // dropped.
    std::uint64_t generation_ = 0;
    CancelHandle poll_;

    // For the diagnostics.
    std::int64_t mediaEventCount_ = 0;
    std::optional<std::uint16_t> lastMediaCode_;
    bool lastMediaSuper_ = false;
    bool lastMediaOtherModifiers_ = false;
    std::int64_t lastRoutedEventCount_ = 0;
    std::optional<RemoteAction> lastRoutedAction_;
    std::string lastRoutedTarget_;
    std::optional<std::string> lastDiagnosticData_;  // as last written successfully
};

}  // namespace orvel

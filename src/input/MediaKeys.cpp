#include "input/MediaKeys.hpp"

#include <unistd.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/InputPolicy.hpp"
#include "platform/AtomicFile.hpp"
#include "session/AppInfo.hpp"

namespace orvel {

namespace {

using Readiness = MediaKeyBackend::Readiness;

const std::set<std::uint16_t> kMediaKeysTransport{MediaKeyPress::kPlay, MediaKeyPress::kNext,
                                                  MediaKeyPress::kPrevious, MediaKeyPress::kFast,
                                                  MediaKeyPress::kRewind};
const std::set<std::uint16_t> kMediaKeysVolume{MediaKeyPress::kVolumeUp, MediaKeyPress::kVolumeDown,
                                               MediaKeyPress::kMute};

bool isMediaKeyCode(std::uint16_t code) {
    return kMediaKeysTransport.contains(code) || kMediaKeysVolume.contains(code);
}

// What media keys can do on the target, for the diagnostics.
bool isMediaKeyAction(RemoteAction action) {
    using enum RemoteAction;
    switch (action) {
        case volumeUp:
        case volumeDown:
        case mute:
        case playPause:
        case play:
        case pause:
        case next:
        case previous:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::shared_ptr<MediaKeys> MediaKeys::create(MainLoop& loop, AppStore& store,
                                             std::unique_ptr<MediaKeyBackend> backend,
                                             std::optional<std::filesystem::path> diagnostics) {
    std::shared_ptr<MediaKeys> keys(
        new MediaKeys(loop, store, std::move(backend), std::move(diagnostics)));
    keys->sync();
    keys->armPoll();
    return keys;
}

MediaKeys::MediaKeys(MainLoop& loop, AppStore& store, std::unique_ptr<MediaKeyBackend> backend,
                     std::optional<std::filesystem::path> diagnostics)
    : loop_(loop),
      store_(store),
      backend_(std::move(backend)),
      diagnostics_(std::move(diagnostics)) {}

MediaKeys::~MediaKeys() = default;

void MediaKeys::armPoll() {
    // The poll is how capture starts by itself once the desktop lets it.
    poll_ = loop_.postAfter(kPollInterval, [weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->armPoll();
            self->sync();
        }
    });
}

void MediaKeys::sync() {
    if (stopped_) return;
    const auto target = store_.mediaKeyTarget();
    follow(target);
    const Readiness readiness = backend_->readiness();

    KeyboardAccess access = KeyboardAccess::ready;
    if (store_.demo() || suspended_) {
        release();
        access = KeyboardAccess::suspended;
    } else if (readiness == Readiness::needsPermission) {
        release();
        access = KeyboardAccess::needsPermission;
    } else if (readiness == Readiness::unavailable) {
        release();
        access = KeyboardAccess::unavailable;
    } else {
        // Only the keys the app can use now are taken from the desktop.
        std::set<std::uint16_t> codes;
        if (target && store_.state().mediaKeys)
            codes.insert(kMediaKeysTransport.begin(), kMediaKeysTransport.end());
        if (target && store_.state().commandVolume)
            codes.insert(kMediaKeysVolume.begin(), kMediaKeysVolume.end());
        access = hold(codes) ? KeyboardAccess::ready : KeyboardAccess::unavailable;
    }
    if (store_.state().keyboardAccess != access) store_.setKeyboardAccess(access);
    writeDiagnostics(readiness, target);
}

void MediaKeys::setSuspended(bool suspended) {
    if (suspended != suspended_) ++generation_;
    suspended_ = suspended;
    sync();
}

void MediaKeys::requestAccess() {
    if (stopped_) return;
    backend_->requestAccess();
    sync();
}

void MediaKeys::stop() {
    stopped_ = true;
    ++generation_;
    poll_.cancel();
    release();
}

void MediaKeys::follow(const std::optional<AppStore::MediaKeyTarget>& target) {
    std::optional<std::string> id;
    if (target) id = target->id;
    if (id == targetID_) return;
    // A press never carries over from one TV to another.
    presses_.reset();
    targetID_ = std::move(id);
    ++generation_;
}

bool MediaKeys::hold(const std::set<std::uint16_t>& codes) {
    // Grabs the desktop took back count as lost: asked for again.
    const bool intact = codes.empty() || backend_->capturing();
    if (holding_ && held_ == codes && intact) return true;
    const bool held = backend_->capture(codes, pressHandler());
    // A key no longer held sends no key-up: its press would stay owned.
    if (!held || codes != held_) presses_.reset();
    holding_ = held;
    held_ = held ? codes : std::set<std::uint16_t>{};
    return held;
}

void MediaKeys::release() {
    if (!held_.empty() || backend_->capturing()) backend_->capture({}, pressHandler());
    held_.clear();
    holding_ = false;
    presses_.reset();
}

MediaKeyBackend::Presses MediaKeys::pressHandler() {
    return [weak = weak_from_this()](const MediaKeyPress& press, bool super, bool other) {
        auto self = weak.lock();
        return self && self->handle(press, super, other);
    };
}

bool MediaKeys::handle(const MediaKeyPress& press, bool super, bool otherModifiers) {
    if (stopped_ || suspended_ || store_.demo()) return false;
    if (press.phase == MediaKeyPress::Phase::down && isMediaKeyCode(press.code)) {
        ++mediaEventCount_;
        lastMediaCode_ = press.code;
        lastMediaSuper_ = super;
        lastMediaOtherModifiers_ = otherModifiers;
    }

    const auto target = store_.mediaKeyTarget();
    follow(target);
    std::optional<RemoteAction> action;
    if (target) {
        const AppState& state = store_.state();
        const auto status = state.statuses.find(target->id);
        const bool playing = status != state.statuses.end() && status->second.playing;
        // A target is always a connected TV.
        action = InputPolicy::mediaKey(press.code, super, otherModifiers, true, state.mediaKeys,
                                       state.commandVolume, target->capabilities, playing);
    }

    const MediaKeyHandling verdict = presses_.handle(press, action);
    if (!verdict.consumed()) return false;
    if (!verdict.action() || !target) return true;

    lastRoutedAction_ = *verdict.action();
    lastRoutedEventCount_ = mediaEventCount_;
    lastRoutedTarget_ = target->id;
    // Never inside the backend's event handling: the send waits for a later turn.
    loop_.post([weak = weak_from_this(), generation = generation_, action = *verdict.action(),
                id = target->id] {
        auto self = weak.lock();
        if (!self || self->generation_ != generation || self->suspended_ || self->stopped_) return;
        const auto now = self->store_.mediaKeyTarget();
        if (!now || now->id != id) return;
        self->store_.send(action, CommandOptions{.to = id});
    });
    return true;
}

void MediaKeys::writeDiagnostics(Readiness readiness,
                                 const std::optional<AppStore::MediaKeyTarget>& target) {
    if (!diagnostics_) return;
    const AppState& state = store_.state();
    std::vector<std::string> supported;
    if (target) {
        for (RemoteAction action : target->capabilities) {
            if (isMediaKeyAction(action)) supported.emplace_back(rawValue(action));
        }
    }
    std::ranges::sort(supported);

    nlohmann::json report = {
        {"accessibilityTrusted", readiness == Readiness::ready},
        {"capture", std::string(rawValue(state.keyboardAccess))},
        {"connected", state.connected},
        {"connecting", state.connecting},
        {"hasConnectionError", !state.error.empty()},
        {"hasPairedTVs", !state.savedDevices.empty()},
        {"target", target ? target->id : std::string()},
        {"processID", ::getpid()},
        {"tapEnabled", backend_->capturing()},
        {"mediaEventCount", mediaEventCount_},
        {"version", std::string(AppInfo::version())},
        {"supportedMediaActions", supported},
    };
    if (lastMediaCode_) {
        report["lastKeyDownCode"] = *lastMediaCode_;
        report["lastKeyDownCommand"] = lastMediaSuper_;
        report["lastKeyDownOtherModifiers"] = lastMediaOtherModifiers_;
    }
    if (lastRoutedAction_) {
        report["lastRoutedAction"] = std::string(rawValue(*lastRoutedAction_));
        report["lastRoutedEventCount"] = lastRoutedEventCount_;
        report["lastRoutedTarget"] = lastRoutedTarget_;
    }

    std::string bytes;
    try {
        // An identifier from the bridge that is not UTF-8 makes the report unwritable.
        bytes = report.dump(2) + "\n";
    } catch (const nlohmann::json::exception&) {
        return;
    }
    if (bytes == lastDiagnosticData_) return;
    // A failure leaves the old bytes remembered, so the next sync tries again.
    if (!AtomicFile::write(diagnostics_->string(), bytes, AtomicFile::Access::Shared)) {
        lastDiagnosticData_ = std::move(bytes);
    }
}

}  // namespace orvel

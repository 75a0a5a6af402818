// AppStore's remote commands: one action for the selected TV or another paired TV, the two
// volume channels, app lists and the text entry's view state.

#include "session/AppStore.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/JsonFields.hpp"
#include "core/UnicodeScalars.hpp"

namespace orvel {

namespace {

using nlohmann::json;

void finishCommand(const AppStore::CommandCompletion& completion, bool accepted) {
    if (completion) completion(accepted);
}

json credentialFields(const CredentialSet& credentials) {
    json object = json::object();
    for (const auto& [protocol, credential] : credentials) object[protocol] = credential;
    return object;
}

// Texts that are not UTF-8 could not even be written as a bridge line.
bool commandTextsWellFormed(const AppStore::CommandOptions& options) {
    if (options.text && !UnicodeScalars::count(*options.text)) return false;
    if (options.app && !UnicodeScalars::count(*options.app)) return false;
    return true;
}

}  // namespace

// --- Commands ---

void AppStore::send(RemoteAction action, CommandOptions options, CommandCompletion completion) {
    if (options.to && desiredID_ != *options.to) {
        sendToOther(action, std::move(options), std::move(completion));
    } else {
        sendToSelected(action, std::move(options), std::move(completion));
    }
}

void AppStore::sendToSelected(RemoteAction action, CommandOptions options,
                              CommandCompletion completion) {
    lastCommandError_.clear();
    if (!can(action)) {
        finishCommand(completion, false);
        return;
    }
    if (inFlightCommands_ >= kMaxCommandsInFlight) {
        // The remote shows nothing for this; a script asking through orvel learns why.
        lastCommandError_ = kCommandsBusy;
        finishCommand(completion, false);
        return;
    }
    if (!commandTextsWellFormed(options)) {
        state_.error = lastCommandError_ = kTextNotUtf8;
        changed();
        finishCommand(completion, false);
        return;
    }
    if (options.text && *UnicodeScalars::count(*options.text) > kMaxTextScalars) {
        state_.error = lastCommandError_ = kTextTooLong;
        changed();
        finishCommand(completion, false);
        return;
    }
    if (demo_) {
        applyDemoCommand(action, options);
        finishCommand(completion, true);
        return;
    }

    json fields = {{"action", rawValue(action)}};
    if (options.text) fields["text"] = *options.text;
    if (options.volume) fields["volume"] = *options.volume;
    if (options.app) fields["app"] = *options.app;

    auto revision = playbackFeedback_.command(action, loop_.now());
    if (revision) {
        state_.playing = playbackFeedback_.value();
        notifyStateChange();
    }

    ++inFlightCommands_;
    bridge_->request("command", fields, kCommandTimeout,
                     [weak = weak_from_this(), generation = generation_, revision,
                      completion = std::move(completion)](const json& reply) {
                         if (auto self = weak.lock()) {
                             self->commandReplied(generation, revision, reply, completion);
                         }
                     });
}

void AppStore::commandReplied(std::uint64_t generation, std::optional<std::int64_t> revision,
                              const json& reply, const CommandCompletion& completion) {
    inFlightCommands_ = std::max(0, inFlightCommands_ - 1);
    // Read by the completion at once, so it speaks of this reply alone.
    lastCommandError_.clear();
    if (generation != generation_) {
        finishCommand(completion, false);
        return;
    }
    const bool failed = failure(reply);
    if (failed) lastCommandError_ = state_.error;
    if (failed && revision) {
        playbackFeedback_.failed(*revision);
        state_.playing = playbackFeedback_.value();
        notifyStateChange();
    }
    finishCommand(completion, !failed);
}

void AppStore::applyDemoCommand(RemoteAction action, const CommandOptions& options) {
    switch (action) {
        case RemoteAction::playPause:
            state_.playing = !state_.playing;
            break;
        case RemoteAction::play:
            state_.playing = true;
            break;
        case RemoteAction::pause:
            state_.playing = false;
            break;
        case RemoteAction::setVolume:
            state_.volume = options.volume;
            break;
        case RemoteAction::mute:
            state_.volume = state_.volume == 0.0 ? 40.0 : 0.0;
            break;
        case RemoteAction::wake:
            state_.power = "On";
            break;
        case RemoteAction::sleep:
            state_.power = "Off";
            break;
        default:
            break;
    }
    if (auto found = state_.statuses.find(state_.selectedID); found != state_.statuses.end()) {
        found->second.playing = state_.playing;
    }
    notifyStateChange();
}

void AppStore::sendToOther(RemoteAction action, CommandOptions options,
                           CommandCompletion completion) {
    lastBackgroundError_.clear();
    if (demo_) {
        finishCommand(completion, false);
        return;
    }
    if (!commandTextsWellFormed(options)) {
        lastBackgroundError_ = kTextNotUtf8;
        finishCommand(completion, false);
        return;
    }
    const std::string& id = *options.to;
    json fields = {{"action", rawValue(action)}, {"device", id}};
    if (options.text) fields["text"] = *options.text;
    if (options.app) fields["app"] = *options.app;

    if (auto status = state_.statuses.find(id);
        status != state_.statuses.end() && status->second.connected) {
        if (!status->second.capabilities.contains(action)) {
            finishCommand(completion, false);
            return;
        }
        bridge_->request(
            "command", fields, kCommandTimeout,
            [weak = weak_from_this(), completion = std::move(completion)](const json& reply) {
                if (auto self = weak.lock()) {
                    finishCommand(completion, !self->quietFailure(reply));
                }
            });
        return;
    }

    auto saved = std::find_if(state_.savedDevices.begin(), state_.savedDevices.end(),
                              [&](const TVDevice& device) { return device.id == id; });
    if (saved == state_.savedDevices.end() || startBridge()) {
        finishCommand(completion, false);
        return;
    }
    keychain_.load(id, [weak = weak_from_this(), device = *saved, fields = std::move(fields),
                        completion = std::move(completion)](const CredentialLoad& loaded) mutable {
        auto self = weak.lock();
        if (!self) return;
        if (loaded.error || (loaded.credentials.empty() && device.needsPairing())) {
            finishCommand(completion, false);
            return;
        }
        fields["credentials"] = credentialFields(loaded.credentials);
        self->bridge_->request("command", fields, kCommandTimeout,
                               [weak, completion = std::move(completion)](const json& reply) {
                                   if (auto self = weak.lock()) {
                                       finishCommand(completion, !self->quietFailure(reply));
                                   }
                               });
    });
}

bool AppStore::quietFailure(const json& reply) {
    lastBackgroundError_ = textField(reply, "error").value_or("");
    return !lastBackgroundError_.empty();
}

// --- Volume ---

void AppStore::adjustVolume(int steps) {
    const auto action = steps > 0 ? RemoteAction::volumeUp : RemoteAction::volumeDown;
    if (steps == 0 || !can(action)) return;
    requestedVolume_.reset();
    if (demo_) {
        const double level = state_.volume.value_or(40.0) + 2.0 * steps;
        state_.volume = std::clamp(level, 0.0, 100.0);
        changed();
        return;
    }
    // Wide enough that no count of steps overflows before the clamp.
    const long long queued = static_cast<long long>(queuedVolume_) + steps;
    queuedVolume_ = static_cast<int>(
        std::clamp<long long>(queued, -kMaxQueuedVolumeSteps, kMaxQueuedVolumeSteps));
    drainVolume();
}

void AppStore::drainVolume() {
    if (volumeSending_ || queuedVolume_ == 0) return;
    const int step = queuedVolume_ > 0 ? 1 : -1;
    queuedVolume_ -= step;
    volumeSending_ = true;
    send(step > 0 ? RemoteAction::volumeUp : RemoteAction::volumeDown, {},
         [weak = weak_from_this(), generation = generation_](bool accepted) {
             auto self = weak.lock();
             if (!self || generation != self->generation_) return;
             self->volumeSending_ = false;
             if (!accepted) self->queuedVolume_ = 0;
             self->drainVolume();
         });
}

void AppStore::setVolume(double volume) {
    if (!can(RemoteAction::setVolume) || !std::isfinite(volume)) return;
    queuedVolume_ = 0;
    const double level = std::clamp(volume, 0.0, 100.0);
    requestedVolume_ = level;
    state_.volume = level;
    changed();
    drainAbsoluteVolume();
}

void AppStore::drainAbsoluteVolume() {
    if (absoluteVolumeSending_ || !requestedVolume_) return;
    const double level = *std::exchange(requestedVolume_, std::nullopt);
    absoluteVolumeSending_ = true;
    CommandOptions options;
    options.volume = level;
    send(RemoteAction::setVolume, std::move(options),
         [weak = weak_from_this(), generation = generation_](bool accepted) {
             auto self = weak.lock();
             if (!self || generation != self->generation_) return;
             self->absoluteVolumeSending_ = false;
             if (!accepted) self->requestedVolume_.reset();
             self->drainAbsoluteVolume();
         });
}

// --- Apps ---

void AppStore::apps(const TVDevice& device, AppsCompletion completion) {
    if (demo_ || startBridge()) {
        if (completion) completion(std::nullopt, kBridgeNotRunning);
        return;
    }
    const bool selected = desiredID_ == device.id;
    keychain_.load(device.id, [weak = weak_from_this(), device, selected,
                               completion = std::move(completion)](const CredentialLoad& loaded) {
        if (auto self = weak.lock()) self->requestApps(device, selected, loaded, completion);
    });
}

void AppStore::requestApps(const TVDevice& device, bool selected, const CredentialLoad& loaded,
                           AppsCompletion completion) {
    json fields = json::object();
    if (!selected) {
        fields["device"] = device.id;
        if (!loaded.error && (!loaded.credentials.empty() || !device.needsPairing())) {
            fields["credentials"] = credentialFields(loaded.credentials);
        }
    }
    bridge_->request(
        "apps", fields, kCommandTimeout,
        [weak = weak_from_this(), completion = std::move(completion)](const json& reply) {
            if (!weak.lock() || !completion) return;
            if (auto error = textField(reply, "error")) {
                completion(std::nullopt, *error);
                return;
            }
            std::vector<NamedEntry> listed;
            if (const json* entries = field(reply, "apps"); entries && entries->is_array()) {
                for (const auto& entry : *entries) {
                    auto id = textField(entry, "id");
                    auto name = textField(entry, "name");
                    if (id && name) listed.push_back({std::move(*id), std::move(*name)});
                }
            }
            completion(std::move(listed), "");
        });
}

// --- Text entry ---

void AppStore::focusText() {
    state_.textEntryVisible = true;
    ++state_.focusTextRequest;
    changed();
}

void AppStore::hideTextEntry() {
    state_.textEntryVisible = false;
    changed();
}

}  // namespace orvel

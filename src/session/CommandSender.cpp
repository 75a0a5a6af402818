#include "session/CommandSender.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/JsonFields.hpp"
#include "core/UnicodeScalars.hpp"
#include "session/CredentialJson.hpp"
#include "session/TVConnection.hpp"

namespace orvel {

using nlohmann::json;

namespace {

void finish(const CommandSender::Completion& completion, bool accepted) {
    if (completion) completion(accepted);
}

// Texts that are not UTF-8 could not even be written as a bridge line.
bool textsWellFormed(const CommandOptions& options) {
    if (options.text && !UnicodeScalars::count(*options.text)) return false;
    if (options.app && !UnicodeScalars::count(*options.app)) return false;
    return true;
}

}  // namespace

void CommandSender::send(RemoteAction action, CommandOptions options, Completion completion) {
    if (options.to && !context_.jobs.connection->isDesired(*options.to)) {
        sendToOther(action, std::move(options), std::move(completion));
    } else {
        sendToSelected(action, std::move(options), std::move(completion));
    }
}

void CommandSender::sendToSelected(RemoteAction action, CommandOptions options,
                                   Completion completion) {
    auto& state = context_.state;
    lastCommandError_.clear();
    if (!context_.jobs.connection->can(action)) {
        finish(completion, false);
        return;
    }
    if (inFlightCommands_ >= kMaxCommandsInFlight) {
        // The remote shows nothing for this; a script asking through orvel learns why.
        lastCommandError_ = kCommandsBusy;
        finish(completion, false);
        return;
    }
    const char* refusal = nullptr;
    if (!textsWellFormed(options)) {
        refusal = kTextNotUtf8;
    } else if (options.text && *UnicodeScalars::count(*options.text) > kMaxTextScalars) {
        refusal = kTextTooLong;
    }
    if (refusal) {
        state.error = lastCommandError_ = refusal;
        context_.changed();
        finish(completion, false);
        return;
    }

    json fields = {{"action", rawValue(action)}};
    if (options.text) fields["text"] = *options.text;
    if (options.volume) fields["volume"] = *options.volume;
    if (options.app) fields["app"] = *options.app;

    auto revision = playbackFeedback_.command(action, context_.loop.now());
    if (revision) {
        state.playing = playbackFeedback_.value();
        context_.stateChanged();
    }

    ++inFlightCommands_;
    // this: a job of the store, which whileAlive holds for the call (so for all below).
    context_.bridge.request(
        "command", fields, SessionContext::kCommandTimeout,
        context_.whileAlive([this, generation = context_.jobs.connection->generation(), revision,
                             completion = std::move(completion)](const json& reply) {
            commandReplied(generation, revision, reply, completion);
        }));
}

void CommandSender::commandReplied(std::uint64_t generation, std::optional<std::int64_t> revision,
                                   const json& reply, const Completion& completion) {
    inFlightCommands_ = std::max(0, inFlightCommands_ - 1);
    // Read by the completion at once, so it speaks of this reply alone.
    lastCommandError_.clear();
    if (generation != context_.jobs.connection->generation()) {
        finish(completion, false);
        return;
    }
    const bool failed = context_.failure(reply);
    if (failed) lastCommandError_ = context_.state.error;
    if (failed && revision) {
        playbackFeedback_.failed(*revision);
        context_.state.playing = playbackFeedback_.value();
        context_.stateChanged();
    }
    finish(completion, !failed);
}

void CommandSender::sendToOther(RemoteAction action, CommandOptions options,
                                Completion completion) {
    lastBackgroundError_.clear();
    if (!textsWellFormed(options)) {
        lastBackgroundError_ = kTextNotUtf8;
        finish(completion, false);
        return;
    }
    const std::string& id = *options.to;
    json fields = {{"action", rawValue(action)}, {"device", id}};
    if (options.text) fields["text"] = *options.text;
    if (options.app) fields["app"] = *options.app;

    const auto& statuses = context_.state.statuses;
    if (auto status = statuses.find(id); status != statuses.end() && status->second.connected) {
        if (!status->second.capabilities.contains(action)) {
            finish(completion, false);
            return;
        }
        context_.bridge.request(
            "command", fields, SessionContext::kCommandTimeout,
            context_.whileAlive([this, completion = std::move(completion)](const json& reply) {
                finish(completion, !quietFailure(reply));
            }));
        return;
    }

    const TVDevice* saved = context_.state.savedDevice(id);
    if (!saved || !context_.startBridge()) {
        finish(completion, false);
        return;
    }
    context_.keychain.load(
        id, CredentialQueue::Initiator::kUser,
        context_.whileAlive([this, device = *saved, fields = std::move(fields),
                             completion =
                                 std::move(completion)](const CredentialLoad& loaded) mutable {
            auto credentials = usableCredentials(device, loaded);
            if (!credentials) {
                finish(completion, false);
                return;
            }
            fields["credentials"] = std::move(*credentials);
            context_.bridge.request(
                "command", fields, SessionContext::kCommandTimeout,
                context_.whileAlive([this, completion = std::move(completion)](const json& reply) {
                    finish(completion, !quietFailure(reply));
                }));
        }));
}

bool CommandSender::quietFailure(const json& reply) {
    lastBackgroundError_ = textField(reply, "error").value_or("");
    return !lastBackgroundError_.empty();
}

// --- Volume ---

bool CommandSender::receivePlaying(bool playing) {
    playbackFeedback_.receive(playing, context_.loop.now());
    return playbackFeedback_.value();
}

void CommandSender::clearVolume() {
    volume_.clear();
    context_.state.volume.reset();
}

void CommandSender::adjustVolume(int steps) {
    const auto action = steps > 0 ? RemoteAction::volumeUp : RemoteAction::volumeDown;
    if (steps == 0 || !context_.jobs.connection->can(action)) return;
    volume_.addSteps(steps);
    drainSteps();
}

void CommandSender::drainSteps() {
    auto step = volume_.nextStep();
    if (!step) return;
    send(*step > 0 ? RemoteAction::volumeUp : RemoteAction::volumeDown, {},
         context_.whileAlive(
             [this, generation = context_.jobs.connection->generation()](bool accepted) {
                 if (generation != context_.jobs.connection->generation()) return;
                 volume_.stepAnswered(accepted);
                 drainSteps();
             }));
}

void CommandSender::setVolume(double volume) {
    if (!context_.jobs.connection->can(RemoteAction::setVolume) || !std::isfinite(volume)) return;
    const double level = std::clamp(volume, 0.0, 100.0);
    volume_.requestLevel(level);
    context_.state.volume = level;
    context_.changed();
    drainLevel();
}

void CommandSender::drainLevel() {
    auto level = volume_.nextLevel();
    if (!level) return;
    CommandOptions options;
    options.volume = *level;
    send(RemoteAction::setVolume, std::move(options),
         context_.whileAlive(
             [this, generation = context_.jobs.connection->generation()](bool accepted) {
                 if (generation != context_.jobs.connection->generation()) return;
                 volume_.levelAnswered(accepted);
                 drainLevel();
             }));
}

// --- Apps ---

void CommandSender::apps(const TVDevice& device, AppsCompletion completion) {
    if (!context_.startBridge()) {
        if (completion) completion(std::nullopt, SessionContext::kBridgeNotRunning);
        return;
    }
    const bool selected = context_.jobs.connection->isDesired(device.id);
    context_.keychain.load(
        device.id, CredentialQueue::Initiator::kUser,
        context_.whileAlive([this, device, selected,
                             completion = std::move(completion)](const CredentialLoad& loaded) {
            requestApps(device, selected, loaded, completion);
        }));
}

void CommandSender::requestApps(const TVDevice& device, bool selected, const CredentialLoad& loaded,
                                AppsCompletion completion) {
    json fields = json::object();
    if (!selected) {
        fields["device"] = device.id;
        if (auto credentials = usableCredentials(device, loaded)) {
            fields["credentials"] = std::move(*credentials);
        }
    }
    context_.bridge.request(
        "apps", fields, SessionContext::kCommandTimeout,
        context_.whileAlive([completion = std::move(completion)](const json& reply) {
            if (!completion) return;
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
        }));
}

}  // namespace orvel

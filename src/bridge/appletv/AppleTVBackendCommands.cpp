// What the Apple TV backend does on a verified TV: keys, media control, typing and apps.
#include <algorithm>
#include <cmath>
#include <utility>

#include "bridge/appletv/AppleTVActions.hpp"
#include "bridge/appletv/AppleTVBackend.hpp"
#include "bridge/appletv/CompanionMedia.hpp"
#include "bridge/appletv/CompanionTextInput.hpp"
#include "bridge/appletv/CompanionTexts.hpp"

namespace orvel {

namespace {

using AppleTVActions::KeyPlan;
using nlohmann::json;

// An app identifier with a scheme ("https://…", "videos:") is a link; bundle identifiers
// never hold a colon.
bool isLink(const std::string& app) {
    return app.find(':') != std::string::npos;
}

}  // namespace

void AppleTVBackend::withTV(const std::string& id, const std::optional<Credentials>& credentials,
                            BackendReply reply, Work work) {
    // this: open() calls back only while the backend lives, and the connection, which the
    // backend owns, holds the work's completions.
    open(id, credentials,
         [this, id, reply = std::move(reply), work = std::move(work)](const std::string& error) {
             auto it = tvs_.find(id);
             if (!error.empty() || it == tvs_.end()) {
                 return reply(failureReply(error.empty() ? CompanionTexts::didNotAnswer(nameOf(id))
                                                         : error));
             }
             TV& tv = it->second;
             ++tv.commands;
             work(tv, [this, id, serial = tv.serial, reply](json result) {
                 reply(std::move(result));
                 auto each = current(id, serial);
                 if (each == tvs_.end()) return;
                 --each->second.commands;
                 closeIfIdle(id);
             });
         });
}

void AppleTVBackend::command(const CommandArgs& args, BackendReply reply) {
    const std::string id = args.device.value_or(connected_);
    if (id.empty()) return reply(failureReply(CompanionTexts::kNotConnected));
    const std::string action(rawValue(args.action));
    if (!AppleTVActions::offered(args.action)) {
        return reply(failureReply(CompanionTexts::unsupported(nameOf(id), action)));
    }
    if (args.action == RemoteAction::setVolume && !args.volume) {
        return reply(failureReply("Give the volume as a number from 0 to 100."));
    }
    // A TV that is neither connected nor watched is verified for this command only.
    const auto credentials = args.device ? args.credentials : std::nullopt;
    withTV(id, credentials, std::move(reply),
           [this, id, args](TV& tv, const BackendReply& finish) { perform(tv, id, args, finish); });
}

void AppleTVBackend::perform(TV& tv, const std::string& id, const CommandArgs& args,
                             const BackendReply& finish) {
    if (args.action == RemoteAction::text) return type(tv, id, args.text.value_or(""), finish);
    if (args.action == RemoteAction::launchApp) {
        return launch(tv, id, args.app.value_or(""), finish);
    }
    if (CompanionMedia::isMediaAction(args.action)) return mediaCommand(tv, id, args, finish);
    pressKey(tv, id, args.action, finish);
}

void AppleTVBackend::pressKey(TV& tv, const std::string& id, RemoteAction action,
                              const BackendReply& finish) {
    const bool volumeKey = action == RemoteAction::volumeUp || action == RemoteAction::volumeDown;
    // this: the connection, which the backend owns, holds the completion.
    auto done = [this, id, volumeKey, finish](const CompanionResult<>& result) {
        finish(result ? json::object() : failureReply(result.error().sentence));
        // The TV does not say when its volume moves; ask, if it reports one.
        if (result && volumeKey) fetchVolume(id);
    };
    const KeyPlan plan = *AppleTVActions::keyPlanFor(action);
    CompanionConnection& connection = *tv.connection;
    switch (plan.how) {
        case KeyPlan::How::press:
            return connection.press(plan.key, std::move(done));
        case KeyPlan::How::twice:
            return connection.pressTwice(plan.key, std::move(done));
        case KeyPlan::How::hold:
            return connection.hold(plan.key, options_.holdSeconds, std::move(done));
        case KeyPlan::How::sleep:
            return connection.sleep(std::move(done));
        case KeyPlan::How::wake:
            return connection.wake(std::move(done));
    }
}

void AppleTVBackend::mediaCommand(TV& tv, const std::string& id, const CommandArgs& args,
                                  const BackendReply& finish) {
    const std::string action(rawValue(args.action));
    const auto allowed = AppleTVActions::capabilities(tv.mediaFlags);
    // Before the TV has told its flags (a TV opened for this command alone), let it decide.
    if (tv.mediaFlags && std::find(allowed.begin(), allowed.end(), args.action) == allowed.end()) {
        return finish(failureReply(CompanionTexts::unsupported(nameOf(id), action)));
    }
    const auto volume = args.volume;
    // this: the connection, which the backend owns, holds the completion.
    tv.connection->request(
        "_mcc", *CompanionMedia::request(args.action, volume), options_.replyTimeout,
        [this, id, serial = tv.serial, action, volume,
         finish](const CompanionResult<OpackValue>& result) {
            if (!result) {
                return finish(failureReply(result.error().refused
                                               ? CompanionTexts::refused(nameOf(id), action)
                                               : result.error().sentence));
            }
            finish(json::object());
            auto it = current(id, serial);
            if (!volume || it == tvs_.end()) return;
            // Shown only while the flags say the TV has a volume of its own.
            if (!it->second.takesVolume()) return;
            it->second.volume = static_cast<int>(std::lround(std::clamp(*volume, 0.0, 100.0)));
            announce(id);
        });
}

void AppleTVBackend::type(TV& tv, const std::string& id, const std::string& text,
                          const BackendReply& finish) {
    // this: the connection, which the backend owns, holds the completion.
    CompanionTextInput::replace(
        *tv.connection, text, options_.replyTimeout,
        [this, id, finish](const CompanionResult<bool>& typed) {
            if (!typed) return finish(failureReply(typed.error().sentence));
            if (!typed.value()) {
                return finish(failureReply(CompanionTexts::noTextField(nameOf(id))));
            }
            finish(json::object());
        });
}

void AppleTVBackend::launch(TV& tv, const std::string& id, const std::string& app,
                            const BackendReply& finish) {
    const OpackValue content = OpackValue::Dictionary{{isLink(app) ? "_urlS" : "_bundleID", app}};
    // this: the connection, which the backend owns, holds the completion.
    tv.connection->request(
        "_launchApp", content, options_.replyTimeout,
        [this, id, app, finish](const CompanionResult<OpackValue>& launched) {
            if (launched) return finish(json::object());
            finish(failureReply(launched.error().refused ? CompanionTexts::noApp(nameOf(id), app)
                                                         : launched.error().sentence));
        });
}

void AppleTVBackend::apps(const std::optional<std::string>& device,
                          const std::optional<Credentials>& credentials, BackendReply reply) {
    const std::string id = device.value_or(connected_);
    if (id.empty()) return reply(failureReply(CompanionTexts::kNotConnected));
    withTV(id, device ? credentials : std::nullopt, std::move(reply),
           [this](TV& tv, const BackendReply& finish) {
               tv.connection->request(
                   "FetchLaunchableApplicationsEvent", OpackValue::Dictionary{},
                   options_.replyTimeout, [finish](const CompanionResult<OpackValue>& listed) {
                       if (!listed) return finish(failureReply(listed.error().sentence));
                       json apps = json::array();
                       if (const auto* entries = listed.value().asDictionary()) {
                           for (const auto& [key, value] : *entries) {
                               const auto appId = key.asString();
                               const auto name = value.asString();
                               if (appId && name) apps.push_back({{"id", *appId}, {"name", *name}});
                           }
                       }
                       finish({{"apps", std::move(apps)}});
                   });
           });
}

bool AppleTVBackend::TV::takesVolume() const {
    return mediaFlags && CompanionMedia::takesVolume(*mediaFlags);
}

void AppleTVBackend::takeMediaFlags(const std::string& id, std::uint64_t serial,
                                    std::int64_t flags) {
    auto it = current(id, serial);
    if (it == tvs_.end() || it->second.mediaFlags == flags) return;
    TV& tv = it->second;
    tv.mediaFlags = flags;
    if (!tv.takesVolume()) tv.volume.reset();
    announce(id);
    fetchVolume(id);
}

void AppleTVBackend::fetchVolume(const std::string& id) {
    auto it = tvs_.find(id);
    if (it == tvs_.end() || !it->second.takesVolume()) return;
    // this: the connection, which the backend owns, holds the completion.
    it->second.connection->request(
        "_mcc", CompanionMedia::volumeQuery(), options_.replyTimeout,
        [this, id, serial = it->second.serial](const CompanionResult<OpackValue>& reply) {
            auto tv = current(id, serial);
            if (!reply || tv == tvs_.end()) return;
            const auto level = CompanionMedia::volumeIn(reply.value());
            if (!level || level == tv->second.volume || !tv->second.takesVolume()) return;
            tv->second.volume = level;
            announce(id);
        });
}

}  // namespace orvel

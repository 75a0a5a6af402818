#include "bridge/roku/RokuCommand.hpp"

#include <algorithm>

#include "bridge/roku/RokuKeys.hpp"
#include "bridge/roku/RokuTexts.hpp"

namespace orvel {

namespace {

using nlohmann::json;

// A TV coming out of deep standby takes seconds to join the network; asked this often.
constexpr double kWakeRetry = 1.0;

}  // namespace

RokuCommand::RokuCommand(MainLoop& loop, HttpTransport& transport, const RokuOptions& options,
                         RokuTarget target, CommandArgs args, double keySeconds, Done done)
    : loop_(loop),
      options_(options),
      target_(std::move(target)),
      args_(std::move(args)),
      done_(std::move(done)),
      requests_(transport),
      keySeconds_(keySeconds) {}

void RokuCommand::start(double arrived) {
    deadline_ = arrived + options_.requestBudget - options_.httpTimeout;
    const std::string name = rokuDisplayName(target_.info);
    const RemoteAction action = args_.action;
    const std::string raw(rawValue(action));
    if (rokuNeedsTV(action) && !target_.info.isTv) {
        return finish(failureReply(RokuTexts::unsupported(name, raw)), Outcome::failed);
    }

    if (action == RemoteAction::play || action == RemoteAction::pause) {
        if (!inTime()) return;
        // this: requests_ cancels the callback before the command goes.
        return requests_.send(HttpMethod::get, target_.hostPort, "/query/media-player",
                              [this](const HttpResponse& response) { afterPlayer(response); });
    }
    if (action == RemoteAction::text) {
        const std::string& text = args_.text.value_or("");
        auto paths = rokuLiteralPaths(text);
        if (!paths) {
            return finish(failureReply("The text is not valid UTF-8."), Outcome::failed);
        }
        // Typing stops half-way only when the TV slows down on the way: what cannot fit the
        // time left at this TV's pace is refused before the first key.
        const double left = std::max(0.0, deadline_ - loop_.now());
        const auto fits =
            std::min(options_.longestText, static_cast<std::size_t>(left / keySeconds_));
        if (paths->size() > fits) {
            return finish(failureReply("That text is too long to type on " + name +
                                       " at once. Send at most " + std::to_string(fits) +
                                       " characters at a time."),
                          Outcome::failed);
        }
        paths_ = std::move(*paths);
    } else if (action == RemoteAction::launchApp) {
        paths_ = {rokuLaunchPath(args_.app.value_or(""))};
    } else if (auto key = rokuKeyFor(action)) {
        paths_ = {"/keypress/" + *key};
    } else {
        return finish(failureReply(RokuTexts::unsupported(name, raw)), Outcome::failed);
    }
    pressNext();
}

void RokuCommand::afterPlayer(const HttpResponse& response) {
    if (failedStep(response)) return;
    const auto player = readRokuMediaPlayer(response.body);
    if (!player) {
        return finish(failureReply(RokuTexts::unreadable(rokuDisplayName(target_.info))),
                      Outcome::failed);
    }
    const std::string& state = player->state;
    // Play is a toggle on a Roku: press it only when it moves the player the asked way.
    const bool wanted =
        args_.action == RemoteAction::play ? state == "pause" : (player && player->playing());
    if (wanted) paths_ = {"/keypress/Play"};
    pressNext();
}

void RokuCommand::pressNext() {
    if (sent_ == paths_.size()) return finish(json::object(), Outcome::succeeded);
    if (!inTime()) return;
    stepStarted_ = loop_.now();
    // this: requests_ cancels the callback before the command goes.
    requests_.send(HttpMethod::post, target_.hostPort, paths_[sent_],
                   [this](const HttpResponse& response) {
                       if (wakingUp(response) || failedStep(response)) return;
                       timedSeconds_ += loop_.now() - stepStarted_;
                       ++sent_;
                       pressNext();
                   });
}

bool RokuCommand::failedStep(const HttpResponse& response) {
    if (response.ok()) return false;
    const std::string name = rokuDisplayName(target_.info);
    std::string sentence = RokuTexts::failure(response, name);
    if (response.status == 404 && args_.action == RemoteAction::launchApp) {
        sentence = name + " has no app \"" + args_.app.value_or("") + "\".";
    } else if (!response.answered() && args_.action == RemoteAction::text && sent_ > 0) {
        sentence += " " + std::to_string(sent_) + " of " + std::to_string(paths_.size()) +
                    " characters were typed.";
    }
    finish(failureReply(std::move(sentence)),
           RokuTexts::isLimited(response) ? Outcome::limited : Outcome::failed);
    return true;
}

bool RokuCommand::wakingUp(const HttpResponse& response) {
    if (response.answered() || args_.action != RemoteAction::wake || !wake_) return false;
    if (auto sent = wake_(); !sent) {
        finish(failureReply(sent.error()), Outcome::failed);
        return true;
    }
    wakeSent_ = true;
    askAfterWake();
    return true;
}

void RokuCommand::askAfterWake() {
    if (!inTime()) return;
    // this: requests_ cancels the callback before the command goes.
    requests_.send(HttpMethod::get, target_.hostPort, "/query/device-info",
                   [this](const HttpResponse& response) {
                       if (response.answered()) return pressNext();
                       // Datagrams get lost: one more packet with each look.
                       if (auto sent = wake_(); !sent) {
                           return finish(failureReply(sent.error()), Outcome::failed);
                       }
                       // this: retry_ cancels the timer before the command goes.
                       retry_ = loop_.postAfter(kWakeRetry, [this] { askAfterWake(); });
                   });
}

bool RokuCommand::inTime() {
    if (loop_.now() <= deadline_) return true;
    std::string sentence = rokuDisplayName(target_.info) + " is answering too slowly";
    if (wakeSent_) {
        sentence = RokuTexts::notWoken(rokuDisplayName(target_.info));
    } else if (sent_ > 0) {
        sentence += ": " + std::to_string(sent_) + " of " + std::to_string(paths_.size()) +
                    " characters were typed. Try the rest again.";
    } else {
        sentence += ". Try again in a moment.";
    }
    finish(failureReply(std::move(sentence)), Outcome::failed);
    return false;
}

void RokuCommand::finish(json reply, Outcome outcome) {
    Result result{std::move(reply), outcome, std::nullopt};
    if (sent_ > 0) result.keySeconds = timedSeconds_ / static_cast<double>(sent_);
    // The owner may destroy this command from inside `done`.
    auto done = std::move(done_);
    if (done) done(std::move(result));
}

}  // namespace orvel

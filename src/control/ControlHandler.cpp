#include "control/ControlHandler.hpp"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "control/ControlSummary.hpp"
#include "control/ControlTarget.hpp"
#include "core/ControlMessage.hpp"
#include "core/ControlVerb.hpp"
#include "core/JsonFields.hpp"
#include "core/NamedEntry.hpp"

namespace orvel {

namespace {

using nlohmann::json;

constexpr const char* kUnknownCommand = "Unknown command.";
constexpr const char* kNothingToType = "Nothing to type.";

// The repeat count: an integer clamped to 1..20, anything else 1.
int pressCount(const json& request) {
    const json* count = field(request, "count");
    if (!count || !count->is_number_integer()) return 1;
    if (count->is_number_unsigned()) {
        return static_cast<int>(
            std::min<std::uint64_t>(count->get<std::uint64_t>(), ControlVerb::kMaxRepeat));
    }
    return static_cast<int>(
        std::clamp<std::int64_t>(count->get<std::int64_t>(), 1, ControlVerb::kMaxRepeat));
}

class ControlStreamLines final : public ControlWatches::Stream {
public:
    explicit ControlStreamLines(std::shared_ptr<ControlStream> stream)
        : stream_(std::move(stream)) {}
    void send(const json& line) override { stream_->send(line); }
    void closeAfterSending() override { stream_->closeAfterSending(); }
    bool isClosed() const override { return stream_->isClosed(); }

private:
    std::shared_ptr<ControlStream> stream_;
};

}  // namespace

const ControlHandler::CommandEntry ControlHandler::kCommands[] = {
    {"tvs", false, &ControlHandler::tvs},      {"open", false, &ControlHandler::open},
    {"status", true, &ControlHandler::status}, {"nowplaying", true, &ControlHandler::status},
    {"power", true, &ControlHandler::power},   {"apps", true, &ControlHandler::listApps},
    {"launch", true, &ControlHandler::launch}, {"type", true, &ControlHandler::type},
    {"press", true, &ControlHandler::press},
};

std::shared_ptr<ControlHandler> ControlHandler::create(MainLoop& loop,
                                                       std::shared_ptr<AppStore> store,
                                                       OpenRemote openRemote) {
    return std::shared_ptr<ControlHandler>(
        new ControlHandler(loop, std::move(store), std::move(openRemote)));
}

ControlHandler::ControlHandler(MainLoop& loop, std::shared_ptr<AppStore> store,
                               OpenRemote openRemote)
    : loop_(loop),
      store_(std::move(store)),
      openRemote_(std::move(openRemote)),
      watches_(ControlWatches::create(loop, store_)) {}

// --- Entry points for the server ---

void ControlHandler::onLoop(std::function<void(ControlHandler&)> work) {
    auto run = [weak = weak_from_this(), work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
    };
    if (loop_.isLoopThread()) {
        run();
    } else {
        loop_.post(std::move(run));
    }
}

ControlServer::Handler ControlHandler::requestHandler() {
    return [weak = weak_from_this()](const json& request, ControlServer::Reply reply) {
        if (auto self = weak.lock()) {
            self->onLoop([request, reply = std::move(reply)](ControlHandler& handler) {
                handler.handleControl(request, reply);
            });
        }
    };
}

ControlServer::WatchHandler ControlHandler::watchHandler() {
    return [weak = weak_from_this()](const json& request, std::shared_ptr<ControlStream> stream) {
        if (auto self = weak.lock()) {
            auto lines = std::make_shared<ControlStreamLines>(std::move(stream));
            self->onLoop([request, lines](ControlHandler& handler) {
                handler.watches_->start(request, lines);
            });
        }
    };
}

// --- Requests ---

void ControlHandler::handleControl(const json& request, const Reply& reply) {
    const std::string command = textField(request, "command").value_or("");
    const auto entry =
        std::find_if(std::begin(kCommands), std::end(kCommands),
                     [&](const CommandEntry& known) { return known.name == command; });
    const bool known = entry != std::end(kCommands);
    // An unknown command still names its TV first: a TV that is not there is the answer.
    std::optional<TVDevice> target;
    if (!known || entry->needsTarget) {
        auto resolved = ControlTarget::device(store_->state(), request);
        if (!resolved) {
            reply(ControlMessage::failure(resolved.error()));
            return;
        }
        target = std::move(*resolved);
    }
    if (!known) {
        reply(ControlMessage::failure(kUnknownCommand));
        return;
    }
    (this->*entry->run)(request, target ? &*target : nullptr, reply);
}

json ControlHandler::summary(const TVDevice& device) const {
    return ControlSummary::build(device, store_->state(), loop_.now());
}

void ControlHandler::tvs(const json&, const TVDevice*, const Reply& reply) {
    json tvs = json::array();
    for (const auto& device : store_->state().savedDevices) tvs.push_back(summary(device));
    reply({{"ok", true}, {"tvs", std::move(tvs)}});
}

void ControlHandler::open(const json&, const TVDevice*, const Reply& reply) {
    if (!openRemote_) return reply(ControlMessage::failure(kNoRemote));
    openRemote_();
    reply(ControlMessage::success());
}

void ControlHandler::status(const json&, const TVDevice* target, const Reply& reply) {
    reply({{"ok", true}, {"tv", summary(*target)}});
}

void ControlHandler::power(const json&, const TVDevice* target, const Reply& reply) {
    const std::string& power = ControlSummary::power(*target, store_->state());
    if (power != "On" && power != "Off") {
        reply(ControlMessage::failure("Orvel can't tell whether " + target->name +
                                      " is on. Use orvel wake or orvel sleep."));
        return;
    }
    perform(*target, power == "On" ? RemoteAction::sleep : RemoteAction::wake, std::nullopt,
            std::nullopt, 1, reply);
}

void ControlHandler::listApps(const json&, const TVDevice* target, const Reply& reply) {
    store_->apps(*target,
                 [weak = weak_from_this(), reply](std::optional<std::vector<NamedEntry>> apps,
                                                  const std::string& error) {
                     if (!weak.lock()) return;
                     if (!apps) {
                         reply(ControlMessage::failure(error));
                         return;
                     }
                     json listed = json::array();
                     for (const auto& app : *apps)
                         listed.push_back({{"id", app.id}, {"name", app.name}});
                     reply({{"ok", true}, {"apps", std::move(listed)}});
                 });
}

void ControlHandler::launch(const json& request, const TVDevice* target, const Reply& reply) {
    store_->apps(*target, [weak = weak_from_this(), target = *target,
                           query = textField(request, "app").value_or(""),
                           reply](std::optional<std::vector<NamedEntry>> apps,
                                  const std::string& error) {
        auto self = weak.lock();
        if (!self) return;
        if (!apps) {
            reply(ControlMessage::failure(error));
            return;
        }
        auto chosen = ControlTarget::app(query, *apps, target.name);
        if (!chosen) {
            reply(ControlMessage::failure(chosen.error()));
            return;
        }
        self->perform(target, RemoteAction::launchApp, std::nullopt, std::move(*chosen), 1, reply);
    });
}

void ControlHandler::type(const json& request, const TVDevice* target, const Reply& reply) {
    auto text = textField(request, "text");
    if (!text || text->empty()) {
        reply(ControlMessage::failure(kNothingToType));
        return;
    }
    perform(*target, RemoteAction::text, std::move(text), std::nullopt, 1, reply);
}

void ControlHandler::press(const json& request, const TVDevice* target, const Reply& reply) {
    const auto raw = textField(request, "action");
    const auto action = raw ? remoteActionFromRaw(*raw) : std::nullopt;
    const bool hasWord =
        action &&
        std::any_of(ControlVerb::kActions.begin(), ControlVerb::kActions.end(),
                    [&](const ControlVerb::Entry& entry) { return entry.action == *action; });
    if (!hasWord) {
        reply(ControlMessage::failure(kUnknownCommand));
        return;
    }
    const auto& state = store_->state();
    if (target->id == state.selectedID) {
        if (!state.connected) {
            reply(ControlMessage::failure(target->name + " isn't connected right now."));
            return;
        }
        if (!store_->can(*action)) {
            reply(ControlMessage::failure(!state.notice.empty()
                                              ? state.notice
                                              : target->name + " can't " +
                                                    std::string(ControlVerb::name(*action)) +
                                                    " right now."));
            return;
        }
    }
    perform(*target, *action, std::nullopt, std::nullopt, pressCount(request), reply);
}

void ControlHandler::perform(const TVDevice& target, RemoteAction action,
                             std::optional<std::string> text, std::optional<std::string> app,
                             int times, Reply reply) {
    const bool selected = target.id == store_->state().selectedID;
    CommandOptions options;
    if (!selected) options.to = target.id;
    options.text = text;
    options.app = app;
    store_->send(action, std::move(options),
                 [weak = weak_from_this(), target, action, text = std::move(text),
                  app = std::move(app), times, selected, reply = std::move(reply)](bool accepted) {
                     auto self = weak.lock();
                     if (!self) return;
                     if (!accepted) {
                         std::string message = selected ? self->store_->lastCommandError()
                                                        : self->store_->lastBackgroundError();
                         if (message.empty()) {
                             message = target.name + " didn't take " +
                                       std::string(ControlVerb::name(action)) +
                                       ". Is it on and connected?";
                         }
                         reply(ControlMessage::failure(message));
                         return;
                     }
                     if (times < 2) {
                         reply(ControlMessage::success());
                         return;
                     }
                     self->perform(target, action, text, app, times - 1, reply);
                 });
}

}  // namespace orvel

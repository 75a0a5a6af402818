#include "control/ControlHandler.hpp"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>

#include "core/ControlMessage.hpp"
#include "core/ControlVerb.hpp"
#include "core/JsonFields.hpp"
#include "core/NamedEntry.hpp"
#include "core/TVLookup.hpp"
#include "session/ControlSummary.hpp"

namespace orvel {

namespace {

using nlohmann::json;

constexpr const char* kUnknownCommand = "Unknown command.";
constexpr const char* kNoTVsPaired = "No TVs paired. Pair one in Orvel Remote's Settings.";
constexpr const char* kNoTVSelected = "No TV selected. Pick one in Orvel, or pass --tv NAME.";
constexpr const char* kNothingToType = "Nothing to type.";

std::string joined(const std::vector<std::string>& names, std::string_view separator) {
    std::string text;
    for (const auto& name : names) {
        if (!text.empty()) text += separator;
        text += name;
    }
    return text;
}

std::string couldMean(const std::string& query, const std::vector<std::string>& names) {
    return "\"" + query + "\" could mean " + joined(names, " or ") + ".";
}

// The watch key: everything but the position, which moves on its own while playing. Keys of
// nlohmann objects are ordered, so equal summaries give equal texts.
std::string comparisonKey(json summary) {
    if (summary.is_object()) summary.erase("position");
    try {
        return summary.dump();
    } catch (const json::exception&) {
        return {};
    }
}

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

class ControlStreamLines final : public ControlHandler::Stream {
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

std::shared_ptr<ControlHandler> ControlHandler::create(MainLoop& loop,
                                                       std::shared_ptr<AppStore> store,
                                                       OpenRemote openRemote) {
    return std::shared_ptr<ControlHandler>(
        new ControlHandler(loop, std::move(store), std::move(openRemote)));
}

ControlHandler::ControlHandler(MainLoop& loop, std::shared_ptr<AppStore> store,
                               OpenRemote openRemote)
    : loop_(loop), store_(std::move(store)), openRemote_(std::move(openRemote)) {}

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
            self->onLoop(
                [request, lines](ControlHandler& handler) { handler.startWatch(request, lines); });
        }
    };
}

// --- Requests ---

std::variant<TVDevice, ControlProblem> ControlHandler::controlTarget(const json& request) const {
    const auto& state = store_->state();
    if (auto name = textField(request, "tv")) {
        std::vector<NamedEntry> named;
        for (const auto& device : state.savedDevices) named.push_back({device.id, device.name});
        const auto match = TVLookup::resolve(*name, named);
        if (const auto* found = std::get_if<TVLookup::Found>(&match)) {
            for (const auto& device : state.savedDevices) {
                if (device.id == found->id) return device;
            }
        }
        if (const auto* ambiguous = std::get_if<TVLookup::Ambiguous>(&match)) {
            return ControlProblem{couldMean(*name, ambiguous->names)};
        }
        std::string message = "No paired TV is called \"" + *name + "\".";
        if (!named.empty()) {
            std::vector<std::string> names;
            for (const auto& entry : named) names.push_back(entry.name);
            message += " Paired: " + joined(names, ", ") + ".";
        }
        return ControlProblem{message};
    }
    for (const auto& device : state.savedDevices) {
        if (device.id == state.selectedID) return device;
    }
    return ControlProblem{state.savedDevices.empty() ? kNoTVsPaired : kNoTVSelected};
}

void ControlHandler::handleControl(const json& request, Reply reply) {
    const std::string command = textField(request, "command").value_or("");
    if (command == "tvs") {
        json tvs = json::array();
        for (const auto& device : store_->state().savedDevices) {
            tvs.push_back(ControlSummary::build(device, store_->state(), loop_.now()));
        }
        reply({{"ok", true}, {"tvs", std::move(tvs)}});
        return;
    }
    if (command == "open") {
        if (openRemote_) openRemote_();
        reply(ControlMessage::success());
        return;
    }

    auto target = controlTarget(request);
    if (const auto* problem = std::get_if<ControlProblem>(&target)) {
        reply(ControlMessage::failure(problem->message));
        return;
    }
    using Command = void (ControlHandler::*)(const json&, const TVDevice&, Reply);
    static const std::pair<std::string_view, Command> kCommands[] = {
        {"status", &ControlHandler::status},   {"nowplaying", &ControlHandler::status},
        {"power", &ControlHandler::power},     {"apps", &ControlHandler::listApps},
        {"launch", &ControlHandler::listApps}, {"type", &ControlHandler::type},
        {"press", &ControlHandler::press},
    };
    for (const auto& [name, run] : kCommands) {
        if (name == command) {
            (this->*run)(request, std::get<TVDevice>(target), std::move(reply));
            return;
        }
    }
    reply(ControlMessage::failure(kUnknownCommand));
}

void ControlHandler::status(const json&, const TVDevice& target, Reply reply) {
    reply({{"ok", true}, {"tv", ControlSummary::build(target, store_->state(), loop_.now())}});
}

void ControlHandler::power(const json&, const TVDevice& target, Reply reply) {
    const auto power =
        textField(ControlSummary::build(target, store_->state(), loop_.now()), "power")
            .value_or("");
    if (power != "On" && power != "Off") {
        reply(ControlMessage::failure("Orvel can't tell whether " + target.name +
                                      " is on. Use orvel wake or orvel sleep."));
        return;
    }
    perform(target, power == "On" ? RemoteAction::sleep : RemoteAction::wake, std::nullopt,
            std::nullopt, 1, std::move(reply));
}

void ControlHandler::listApps(const json& request, const TVDevice& target, Reply reply) {
    const bool launching = textField(request, "command") == "launch";
    const std::string query = textField(request, "app").value_or("");
    store_->apps(target,
                 [weak = weak_from_this(), target, launching, query, reply = std::move(reply)](
                     std::optional<std::vector<NamedEntry>> apps, const std::string& error) {
                     auto self = weak.lock();
                     if (!self) return;
                     if (!apps) {
                         reply(ControlMessage::failure(error));
                         return;
                     }
                     if (launching) {
                         self->launch(query, target, *apps, reply);
                         return;
                     }
                     json listed = json::array();
                     for (const auto& app : *apps)
                         listed.push_back({{"id", app.id}, {"name", app.name}});
                     reply({{"ok", true}, {"apps", std::move(listed)}});
                 });
}

void ControlHandler::launch(const std::string& query, const TVDevice& target,
                            const std::vector<NamedEntry>& apps, Reply reply) {
    std::optional<std::string> chosen;
    for (const auto& app : apps) {
        if (app.id == query) chosen = app.id;
    }
    if (!chosen) {
        const auto match = TVLookup::resolve(query, apps);
        if (const auto* found = std::get_if<TVLookup::Found>(&match)) {
            chosen = found->id;
        } else if (const auto* ambiguous = std::get_if<TVLookup::Ambiguous>(&match)) {
            reply(ControlMessage::failure(couldMean(query, ambiguous->names)));
            return;
        } else if (apps.empty()) {
            reply(ControlMessage::failure(target.name + " didn't list any apps."));
            return;
        } else {
            reply(ControlMessage::failure(target.name + " has no app called \"" + query +
                                          "\". Run orvel apps to see them."));
            return;
        }
    }
    perform(target, RemoteAction::launchApp, std::nullopt, chosen, 1, std::move(reply));
}

void ControlHandler::type(const json& request, const TVDevice& target, Reply reply) {
    auto text = textField(request, "text");
    if (!text || text->empty()) {
        reply(ControlMessage::failure(kNothingToType));
        return;
    }
    perform(target, RemoteAction::text, std::move(text), std::nullopt, 1, std::move(reply));
}

void ControlHandler::press(const json& request, const TVDevice& target, Reply reply) {
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
    if (target.id == state.selectedID) {
        if (!state.connected) {
            reply(ControlMessage::failure(target.name + " isn't connected right now."));
            return;
        }
        if (!store_->can(*action)) {
            reply(ControlMessage::failure(!state.notice.empty()
                                              ? state.notice
                                              : target.name + " can't " +
                                                    std::string(ControlVerb::name(*action)) +
                                                    " right now."));
            return;
        }
    }
    perform(target, *action, std::nullopt, std::nullopt, pressCount(request), std::move(reply));
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

// --- Watches ---

void ControlHandler::startWatch(const json& request, std::shared_ptr<Stream> stream) {
    std::optional<std::string> deviceID;
    if (textField(request, "tv")) {
        auto target = controlTarget(request);
        if (const auto* problem = std::get_if<ControlProblem>(&target)) {
            stream->send(ControlMessage::failure(problem->message));
            stream->closeAfterSending();
            return;
        }
        deviceID = std::get<TVDevice>(target).id;
    } else if (store_->state().savedDevices.empty()) {
        stream->send(ControlMessage::failure(kNoTVsPaired));
        stream->closeAfterSending();
        return;
    }
    watches_.push_back({std::move(stream), std::move(deviceID), ""});
    if (!storeChanges_.active()) {
        storeChanges_ = store_->observe([weak = weak_from_this(), &loop = loop_] {
            loop.post([weak] {
                if (auto self = weak.lock()) self->pushWatches();
            });
        });
    }
    pushWatches();
}

void ControlHandler::pushWatches() {
    std::erase_if(watches_, [](const Watch& watch) { return watch.stream->isClosed(); });
    const auto& state = store_->state();
    for (auto& watch : watches_) {
        const std::string& id = watch.deviceID ? *watch.deviceID : state.selectedID;
        auto device = std::find_if(state.savedDevices.begin(), state.savedDevices.end(),
                                   [&](const TVDevice& saved) { return saved.id == id; });
        if (device == state.savedDevices.end()) continue;
        auto summary = ControlSummary::build(*device, store_->state(), loop_.now());
        auto key = comparisonKey(summary);
        if (key == watch.last) continue;
        watch.last = std::move(key);
        watch.stream->send({{"ok", true}, {"tv", std::move(summary)}});
    }
    if (watches_.empty()) storeChanges_.reset();
}

}  // namespace orvel

#include "session/DemoBridge.hpp"

#include <algorithm>
#include <utility>

#include "core/JsonFields.hpp"
#include "core/RemoteAction.hpp"
#include "session/SessionContext.hpp"

namespace orvel {

using nlohmann::json;

namespace {

constexpr const char* kNoPairing = "Demo TVs need no pairing.";
constexpr const char* kUnknownTV = "There is no such demo TV.";

json error(const char* text) {
    return {{"error", text}};
}

}  // namespace

DemoBridge::Answer DemoBridge::Answer::only(json reply) {
    return {std::move(reply), std::nullopt};
}

DemoBridge::DemoBridge(MainLoop& loop, Scene scene) : loop_(loop), scene_(scene) {
    if (scene_ == Scene::blocked) {
        tvs_.push_back(
            {kBlockedRokuID, false, "", kBlockedApp, "On", std::nullopt, kBlockedNotice});
    } else {
        tvs_.push_back({kLivingRoomID, true, "Severance", "TV", "On", kVolume});
    }
    tvs_.push_back({kBedroomID, true, "The Bear", "Hulu", "On", std::nullopt});
}

DemoBridge::~DemoBridge() {
    stop();
}

std::vector<TVDevice> DemoBridge::devices(Scene scene) {
    TVDevice living = scene == Scene::blocked
                          ? TVDevice(kBlockedRokuID, "Living Room", {})
                          : TVDevice(kLivingRoomID, "Living Room", {"AirPlay", "Companion"});
    return {std::move(living), TVDevice(kBedroomID, "Bedroom", {"AirPlay", "Companion"})};
}

CredentialSet DemoBridge::credentials() {
    return {{"AirPlay", "demo"}, {"Companion", "demo"}};
}

std::optional<std::string> DemoBridge::start() {
    if (session_) return std::nullopt;
    session_ = std::make_shared<int>(0);
    // Told last, the bedroom's playback counts as started later, so following prefers it.
    for (const auto& tv : tvs_) {
        post([this, event = stateEvent(tv)] { emit(event); });
    }
    post([this] { emit({{"event", "ready"}}); });
    return std::nullopt;
}

void DemoBridge::stop() {
    if (!session_) return;
    session_.reset();
    connected_.reset();
    auto pending = std::exchange(pending_, {});
    for (auto& completion : pending) completion(error(SessionContext::kBridgeNotRunning));
}

void DemoBridge::request(const std::string& op, const json& fields, double, Completion completion) {
    if (!completion) completion = [](const json&) {};
    if (!session_) {
        completion(error(SessionContext::kBridgeNotRunning));
        return;
    }
    pending_.push_back(std::move(completion));
    post([this, op, fields] {
        auto done = std::move(pending_.front());
        pending_.erase(pending_.begin());
        const Answer answered = answer(op, fields);
        done(answered.reply);
        if (!answered.stateOf) return;
        if (const TV* tv = find(*answered.stateOf); tv && session_) emit(stateEvent(*tv));
    });
}

DemoBridge::Answer DemoBridge::answer(const std::string& op, const json& fields) {
    const auto device = textField(fields, "device");
    if (op == "scan") {
        json listed = json::array();
        for (const auto& tv : devices(scene_)) listed.push_back(tv.stored());
        return Answer::only({{"devices", listed}});
    }
    if (op == "connect" && device) {
        // A TV the household does not hold connects too, and plays nothing.
        if (!find(*device)) {
            TV unknown;
            unknown.id = *device;
            tvs_.push_back(std::move(unknown));
        }
        connected_ = *device;
        return {json::object(), *device};
    }
    if (op == "watch" && device) {
        if (!find(*device)) return Answer::only(error(kUnknownTV));
        return {json::object(), *device};
    }
    if (op == "disconnect") {
        if (!device || device == connected_) connected_.reset();
        return Answer::only(json::object());
    }
    if (op == "command") return command(fields);
    if (op == "apps") return Answer::only(error(SessionContext::kBridgeNotRunning));
    if (op == "pairCancel") return Answer::only(json::object());
    return Answer::only(error(kNoPairing));
}

DemoBridge::Answer DemoBridge::command(const json& fields) {
    TV* tv = connected_ ? find(*connected_) : nullptr;
    if (textField(fields, "device") || !tv) return Answer::only(error(kOnlySelected));
    const auto action = remoteActionFromRaw(textField(fields, "action").value_or(""));
    switch (action.value_or(RemoteAction::select)) {
        case RemoteAction::playPause:
            tv->playing = !tv->playing;
            break;
        case RemoteAction::play:
            tv->playing = true;
            break;
        case RemoteAction::pause:
            tv->playing = false;
            break;
        case RemoteAction::setVolume: {
            const json* level = field(fields, "volume");
            tv->volume =
                level && level->is_number() ? std::optional(level->get<double>()) : std::nullopt;
            break;
        }
        case RemoteAction::volumeUp:
        case RemoteAction::volumeDown: {
            const double step = *action == RemoteAction::volumeUp ? 2 : -2;
            tv->volume = std::clamp(tv->volume.value_or(kVolume) + step, 0.0, 100.0);
            break;
        }
        case RemoteAction::mute:
            tv->volume = tv->volume == 0.0 ? kVolume : 0.0;
            break;
        case RemoteAction::wake:
            tv->power = "On";
            break;
        case RemoteAction::sleep:
            tv->power = "Off";
            break;
        default:
            break;
    }
    return {json::object(), tv->id};
}

DemoBridge::TV* DemoBridge::find(const std::string& id) {
    auto found = std::ranges::find(tvs_, id, &TV::id);
    return found == tvs_.end() ? nullptr : &*found;
}

json DemoBridge::stateEvent(const TV& tv) const {
    json capabilities = json::array();
    for (auto action : kAllRemoteActions) capabilities.push_back(rawValue(action));
    json event = {{"event", "state"},      {"device", tv.id},
                  {"playing", tv.playing}, {"title", tv.title},
                  {"app", tv.app},         {"power", tv.power},
                  {"text_focused", true},  {"capabilities", capabilities}};
    if (tv.volume) event["volume"] = *tv.volume;
    if (!tv.notice.empty()) event["notice"] = tv.notice;
    return event;
}

void DemoBridge::post(std::function<void()> work) {
    // this: the work runs only while this session's token lives, and the token dies with us.
    loop_.post([session = std::weak_ptr<int>(session_), work = std::move(work)] {
        if (!session.expired()) work();
    });
}

void DemoBridge::emit(const json& event) {
    if (auto handler = onEvent_) handler(event);
}

}  // namespace orvel

#include "bridge/roku/RokuTV.hpp"

#include <algorithm>

#include "bridge/roku/RokuKeys.hpp"
#include "bridge/roku/RokuTexts.hpp"
#include "core/TVIdentifier.hpp"

namespace orvel {

namespace {

using nlohmann::json;

const char* const kActiveApp = "/query/active-app";
const char* const kMediaPlayer = "/query/media-player";
const char* const kDeviceInfo = "/query/device-info";

// The application knows "On" and "Off"; a device that names no mode leaves the power as it was.
std::optional<std::string> powerOf(const RokuDeviceInfo& info) {
    if (info.powerMode == "PowerOn") return "On";
    if (info.poweredOff()) return "Off";
    return std::nullopt;
}

// A player that is closed or stopped has no position worth showing.
bool hasMedia(const RokuMediaPlayer& player) {
    return player.state != "close" && player.state != "stop" && player.state != "none" &&
           !player.state.empty();
}

}  // namespace

RokuTV::RokuTV(MainLoop& loop, HttpTransport& transport, const RokuOptions& options, std::string id,
               std::string hostPort, RokuDeviceInfo info, Hooks hooks)
    : loop_(loop),
      options_(options),
      id_(std::move(id)),
      hostPort_(std::move(hostPort)),
      info_(std::move(info)),
      hooks_(std::move(hooks)),
      requests_(transport) {
    power_ = powerOf(info_);
    deviceInfoDue_ = loop_.now() + options_.deviceInfoPoll;  // the caller just read it
    pollAt(loop_.now());
}

void RokuTV::setConnected(bool connected) {
    connected_ = connected;
    pollAt(pollStart_ + interval());  // a faster pace starts now, not after the slow wait
}

void RokuTV::setWatched(bool watched) {
    watched_ = watched;
}

double RokuTV::interval() const {
    return connected_ ? options_.connectedPoll : options_.watchedPoll;
}

void RokuTV::announce() {
    announce_ = true;
    if (polledOnce_) publish(/*force=*/true);
}

void RokuTV::commandSucceeded(bool powerMayChange) {
    setLimited(queriesRefused_, false);
    const double next = loop_.now() + options_.afterCommand;
    if (powerMayChange) deviceInfoDue_ = std::min(deviceInfoDue_, next);
    pollAt(next);
}

void RokuTV::commandLimited() {
    setLimited(queriesRefused_, true);
}

void RokuTV::setLimited(bool queries, bool commands) {
    if (queriesRefused_ == queries && commandsRefused_ == commands) return;
    queriesRefused_ = queries;
    commandsRefused_ = commands;
    if (polledOnce_) publish(false);
}

void RokuTV::pollAt(double when) {
    if (!wantedAt_ || when < *wantedAt_) wantedAt_ = when;
    if (polling_) return;  // finishPoll() schedules the next one
    // this: timer_ cancels it before the TV goes.
    timer_ = loop_.postAfter(*wantedAt_ - loop_.now(), [this] { startPoll(); });
}

void RokuTV::startPoll() {
    wantedAt_.reset();
    polling_ = true;
    unanswered_ = false;
    pollStart_ = loop_.now();
    std::vector<const char*> paths = {kActiveApp, kMediaPlayer};
    if (pollStart_ >= deviceInfoDue_) paths.push_back(kDeviceInfo);
    outstanding_ = static_cast<int>(paths.size());
    for (const char* path : paths) {
        // this: requests_ cancels the callback before the TV goes.
        requests_.send(HttpMethod::get, hostPort_, path,
                       [this, path](const HttpResponse& response) {
                           take(path, response);
                           if (--outstanding_ == 0) finishPoll();
                       });
    }
}

void RokuTV::take(const std::string& path, const HttpResponse& response) {
    if (!response.answered()) {
        unanswered_ = true;
        return;
    }
    if (path == kDeviceInfo) {
        if (!response.ok()) return;
        deviceInfoDue_ = loop_.now() + options_.deviceInfoPoll;
        if (auto info = readRokuDeviceInfo(response.body)) {
            // A DHCP lease can hand the address to another Roku: never follow it as this one.
            if (!info->serialNumber.empty() && TVIdentifier::forRoku(info->serialNumber) != id_) {
                replaced_ = true;
                return;
            }
            if (auto power = powerOf(*info)) power_ = power;
            info_ = std::move(*info);
        }
        return;
    }
    // A TV in limited mode may still answer these while it refuses every key: only a
    // command that goes through ends what a refused command started.
    if (RokuTexts::isLimited(response)) {
        queriesRefused_ = true;
        return;
    }
    if (!response.ok()) return;
    queriesRefused_ = false;
    if (path == kActiveApp) {
        if (auto app = readRokuActiveApp(response.body)) app_ = std::move(*app);
    } else if (auto player = readRokuMediaPlayer(response.body)) {
        player_ = std::move(*player);
    }
}

void RokuTV::finishPoll() {
    polling_ = false;
    if (replaced_) {
        auto lost = hooks_.lost;  // the owner may destroy this object, hook included
        return lost(RokuTexts::movedAway(name(), hostPort_));
    }
    if (unanswered_) {
        if (++failures_ >= options_.failedPollsToDrop) {
            // The owner may destroy this object, hook included: call a copy, touch nothing after.
            auto lost = hooks_.lost;
            return lost(RokuTexts::stoppedAnswering(name()));
        }
    } else {
        failures_ = 0;
        polledOnce_ = true;
        publish(std::exchange(announce_, false));
    }
    pollAt(pollStart_ + interval());
}

json RokuTV::state() const {
    const bool off = power_ == std::optional<std::string>("Off");
    json capabilities = json::array();
    for (RemoteAction action : rokuCapabilities(info_.isTv, off)) {
        capabilities.push_back(rawValue(action));
    }
    json event = {{"event", "state"},
                  {"device", id_},
                  {"capabilities", std::move(capabilities)},
                  {"playing", player_ && player_->playing()},
                  {"app", app_.name},
                  {"app_id", app_.id},
                  {"address", hostPort_}};
    if (power_) event["power"] = *power_;
    if (queriesRefused_ || commandsRefused_) event["notice"] = RokuTexts::kLimitedMode;
    if (player_ && hasMedia(*player_)) {
        if (player_->position) event["position"] = *player_->position;
        if (player_->duration) event["duration"] = *player_->duration;
    }
    return event;
}

void RokuTV::publish(bool force) {
    json next = state();
    auto withoutPosition = [](json event) {
        if (event.is_object()) event.erase("position");
        return event;
    };
    const double now = loop_.now();
    const bool changed = withoutPosition(next) != withoutPosition(lastSent_);
    const bool refresh =
        next.value("playing", false) && now - lastSentAt_ >= options_.playingRefresh - 1e-9;
    if (!force && !changed && !refresh) return;
    lastSent_ = next;
    lastSentAt_ = now;
    if (hooks_.emit) hooks_.emit(std::move(next));
}

}  // namespace orvel

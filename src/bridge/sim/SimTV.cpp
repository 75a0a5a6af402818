#include "bridge/sim/SimTV.hpp"

#include <algorithm>
#include <cmath>
#include <map>

namespace orvel {

namespace {

// Floating-point slack when deciding that an item has reached its end.
constexpr double kEndSlack = 1e-6;

// What a Roku TV cannot do: it has no absolute volume and no such overlays.
constexpr RemoteAction kNotOnRoku[] = {RemoteAction::setVolume, RemoteAction::appSwitcher,
                                       RemoteAction::controlCenter};

}  // namespace

SimTV::SimTV(SimTVConfig config)
    : config_(std::move(config)), poweredOn_(config_.poweredOn), volume_(config_.volume) {}

SimTV::Handler SimTV::handlerFor(RemoteAction action) {
    static const std::map<RemoteAction, Handler> handlers = {
        {RemoteAction::up, &SimTV::nothing},
        {RemoteAction::down, &SimTV::nothing},
        {RemoteAction::left, &SimTV::nothing},
        {RemoteAction::right, &SimTV::nothing},
        {RemoteAction::select, &SimTV::select},
        {RemoteAction::back, &SimTV::back},
        {RemoteAction::menu, &SimTV::back},
        {RemoteAction::home, &SimTV::home},
        {RemoteAction::appSwitcher, &SimTV::nothing},
        {RemoteAction::controlCenter, &SimTV::nothing},
        {RemoteAction::playPause, &SimTV::playPause},
        {RemoteAction::play, &SimTV::play},
        {RemoteAction::pause, &SimTV::pause},
        {RemoteAction::next, &SimTV::next},
        {RemoteAction::previous, &SimTV::previous},
        {RemoteAction::skipForward, &SimTV::skipForward},
        {RemoteAction::skipBackward, &SimTV::skipBackward},
        {RemoteAction::volumeUp, &SimTV::volumeUp},
        {RemoteAction::volumeDown, &SimTV::volumeDown},
        {RemoteAction::setVolume, &SimTV::setVolume},
        {RemoteAction::mute, &SimTV::mute},
        {RemoteAction::wake, &SimTV::wake},
        {RemoteAction::sleep, &SimTV::sleep},
        {RemoteAction::text, &SimTV::text},
        {RemoteAction::launchApp, &SimTV::launchApp},
    };
    return handlers.at(action);  // every action has its row
}

bool SimTV::supports(RemoteAction action) const {
    if (!config_.isRoku()) return true;
    return std::find(std::begin(kNotOnRoku), std::end(kNotOnRoku), action) == std::end(kNotOnRoku);
}

std::string SimTV::perform(const CommandArgs& args, double now) {
    finishIfEnded(now);
    if (!supports(args.action)) {
        return name() + " does not support \"" + std::string(rawValue(args.action)) + "\".";
    }
    if (!poweredOn_ && args.action != RemoteAction::wake && args.action != RemoteAction::sleep) {
        return name() + " is turned off. Wake it first.";
    }
    return (this->*handlerFor(args.action))(args, now);
}

bool SimTV::finishIfEnded(double now) {
    if (!item_ || !playing_) return false;
    if (position_ + (now - positionAt_) < item().duration - kEndSlack) return false;
    position_ = item().duration;
    positionAt_ = now;
    playing_ = false;
    return true;
}

std::optional<double> SimTV::secondsLeft(double now) const {
    if (!item_ || !playing_) return std::nullopt;
    return std::max(0.0, item().duration - position(now));
}

double SimTV::position(double now) const {
    if (!item_) return 0;
    if (!playing_) return position_;
    return std::min(item().duration, position_ + std::max(0.0, now - positionAt_));
}

bool SimTV::textFocused() const {
    return poweredOn_ && front_ && !app().input && !item_;
}

std::vector<std::string> SimTV::capabilities() const {
    if (!poweredOn_) return {"wake", "sleep"};
    std::vector<std::string> names;
    for (auto action : kAllRemoteActions) {
        if (supports(action)) names.emplace_back(rawValue(action));
    }
    return names;
}

nlohmann::json SimTV::state(double now) const {
    const double at = position(now);
    const bool playingNow = item_ && playing_ && at < item().duration - kEndSlack;
    return {
        {"event", "state"},
        {"device", id()},
        {"capabilities", capabilities()},
        {"power", poweredOn_ ? "On" : "Off"},
        {"playing", playingNow},
        {"title", item_ ? item().title : ""},
        {"artist", item_ ? item().artist : ""},
        {"app", front_ ? app().name : ""},
        {"app_id", front_ ? app().id : ""},
        {"address", config_.address},
        {"duration", item_ ? item().duration : 0.0},
        {"position", std::round(at * 1000) / 1000},
        {"volume", muted_ ? 0 : volume_},
        {"text_focused", textFocused()},
    };
}

void SimTV::startItem(std::size_t index, double now) {
    item_ = index;
    position_ = 0;
    positionAt_ = now;
    playing_ = true;
}

void SimTV::setPlaying(bool playing, double now) {
    const double at = position(now);
    // Playing an item that has ended starts it again, as the apps do.
    position_ = playing && at >= item().duration - kEndSlack ? 0 : at;
    positionAt_ = now;
    playing_ = playing;
}

void SimTV::seek(double position, double now) {
    position_ = std::clamp(position, 0.0, item().duration);
    positionAt_ = now;
    finishIfEnded(now);
}

void SimTV::closeApp() {
    front_.reset();
    item_.reset();
    playing_ = false;
    position_ = 0;
    typed_.clear();
}

std::string SimTV::nothing(const CommandArgs&, double) {
    return {};
}

std::string SimTV::select(const CommandArgs& args, double now) {
    if (item_) return playPause(args, now);
    return play(args, now);
}

std::string SimTV::back(const CommandArgs&, double) {
    if (item_) {
        item_.reset();
        playing_ = false;
        position_ = 0;
    } else {
        closeApp();
    }
    return {};
}

std::string SimTV::home(const CommandArgs&, double) {
    closeApp();
    return {};
}

std::string SimTV::playPause(const CommandArgs& args, double now) {
    if (!item_) return play(args, now);
    setPlaying(!playing_, now);
    return {};
}

std::string SimTV::play(const CommandArgs&, double now) {
    if (item_) {
        setPlaying(true, now);
    } else if (front_ && !app().input) {
        startItem(0, now);  // the browse screen's featured item
    }
    return {};
}

std::string SimTV::pause(const CommandArgs&, double now) {
    if (item_) setPlaying(false, now);
    return {};
}

std::string SimTV::next(const CommandArgs&, double now) {
    if (!item_) return {};
    const bool wasPlaying = playing_;
    startItem((*item_ + 1) % app().items.size(), now);
    playing_ = wasPlaying;
    return {};
}

std::string SimTV::previous(const CommandArgs&, double now) {
    if (!item_) return {};
    if (position(now) > kRestartWithin) {
        seek(0, now);
        return {};
    }
    const bool wasPlaying = playing_;
    const auto count = app().items.size();
    startItem((*item_ + count - 1) % count, now);
    playing_ = wasPlaying;
    return {};
}

std::string SimTV::skipForward(const CommandArgs&, double now) {
    if (item_) seek(position(now) + kSkipSeconds, now);
    return {};
}

std::string SimTV::skipBackward(const CommandArgs&, double now) {
    if (item_) seek(position(now) - kSkipSeconds, now);
    return {};
}

std::string SimTV::volumeUp(const CommandArgs&, double) {
    muted_ = false;
    volume_ = std::min(100, volume_ + kVolumeStep);
    return {};
}

std::string SimTV::volumeDown(const CommandArgs&, double) {
    muted_ = false;
    volume_ = std::max(0, volume_ - kVolumeStep);
    return {};
}

std::string SimTV::setVolume(const CommandArgs& args, double) {
    muted_ = false;
    volume_ = static_cast<int>(std::lround(std::clamp(*args.volume, 0.0, 100.0)));
    return {};
}

std::string SimTV::mute(const CommandArgs&, double) {
    muted_ = !muted_;
    return {};
}

std::string SimTV::wake(const CommandArgs&, double) {
    poweredOn_ = true;
    return {};
}

std::string SimTV::sleep(const CommandArgs&, double) {
    closeApp();
    poweredOn_ = false;
    return {};
}

std::string SimTV::text(const CommandArgs& args, double) {
    if (!textFocused()) return "No text field is focused on " + name() + ".";
    typed_ += *args.text;
    return {};
}

std::string SimTV::launchApp(const CommandArgs& args, double) {
    const auto& apps = config_.apps;
    auto found = std::find_if(apps.begin(), apps.end(),
                              [&](const SimApp& app) { return app.id == *args.app; });
    if (found == apps.end()) return name() + " has no app \"" + *args.app + "\".";
    closeApp();
    front_ = static_cast<std::size_t>(found - apps.begin());
    return {};
}

}  // namespace orvel

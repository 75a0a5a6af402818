#pragma once
// SimTV: one simulated TV's own state (power, volume and mute, the app in front, what plays
// and where, its text field) and what each remote action does to it. It knows nothing of
// connections or credentials (SimBackend) and reads no clock: the caller passes the time.
// Owned by SimBackend; loop thread.
//
// Screens: home -> an app's browse screen (text field focused) -> an item playing or paused.
// An input (Roku "HDMI 1") is a screen of its own with no playback and no text field.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/protocol/Backend.hpp"
#include "bridge/sim/Household.hpp"

namespace orvel {

class SimTV {
public:
    static constexpr int kVolumeStep = 2;
    static constexpr double kSkipSeconds = 10;
    static constexpr double kRestartWithin = 3;  // "previous" later than this restarts the item

    explicit SimTV(SimTVConfig config);

    const SimTVConfig& config() const { return config_; }
    const std::string& id() const { return config_.id; }
    const std::string& name() const { return config_.name; }

    // Performs an action the request layer has validated; returns the sentence a real TV's
    // refusal would give, or empty when it took the action.
    std::string perform(const CommandArgs& args, double now);
    // Ends the item whose time is up; true when that changed anything.
    bool finishIfEnded(double now);
    // Seconds until the playing item ends; none while nothing plays.
    std::optional<double> secondsLeft(double now) const;

    // The "state" event as the TV would report it at `now`.
    nlohmann::json state(double now) const;

    // What the search field holds: a change is news even though "state" does not carry it.
    const std::string& typedText() const { return typed_; }

private:
    bool textFocused() const;
    std::vector<std::string> capabilities() const;
    // Seconds into the current item at `now`.
    double position(double now) const;
    using Handler = std::string (SimTV::*)(const CommandArgs&, double);
    static Handler handlerFor(RemoteAction action);

    bool supports(RemoteAction action) const;
    const SimApp& app() const { return config_.apps[*front_]; }
    const SimItem& item() const { return app().items[*item_]; }

    void startItem(std::size_t index, double now);
    void setPlaying(bool playing, double now);
    void seek(double position, double now);
    void closeApp();

    std::string nothing(const CommandArgs&, double);
    std::string select(const CommandArgs&, double now);
    std::string back(const CommandArgs&, double);
    std::string home(const CommandArgs&, double);
    std::string playPause(const CommandArgs&, double now);
    std::string play(const CommandArgs&, double now);
    std::string pause(const CommandArgs&, double now);
    std::string next(const CommandArgs&, double now);
    std::string previous(const CommandArgs&, double now);
    std::string skipForward(const CommandArgs&, double now);
    std::string skipBackward(const CommandArgs&, double now);
    std::string volumeUp(const CommandArgs&, double);
    std::string volumeDown(const CommandArgs&, double);
    std::string setVolume(const CommandArgs& args, double);
    std::string mute(const CommandArgs&, double);
    std::string wake(const CommandArgs&, double);
    std::string sleep(const CommandArgs&, double now);
    std::string text(const CommandArgs& args, double);
    std::string launchApp(const CommandArgs& args, double);

    SimTVConfig config_;
    bool poweredOn_;
    int volume_;
    bool muted_ = false;
    std::optional<std::size_t> front_;  // index into config_.apps
    std::optional<std::size_t> item_;   // index into the front app's items
    bool playing_ = false;
    double position_ = 0;    // seconds into the item at positionAt_
    double positionAt_ = 0;  // the caller's clock
    std::string typed_;
};

}  // namespace orvel

#pragma once
// RokuTV: one Roku the bridge follows (connected, watched or both). It polls the TV's
// active-app and media-player (every second when connected, every 3 s when only watched) and
// its device-info (every 5 s), and sends "state" when something other than the position
// changed, and at least every 5 s while playing. After failedPollsToDrop polls in a row without
// an answer it reports the TV lost. Owned by the RokuBackend; loop thread only. Destroying it
// cancels its timers and requests.

#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "bridge/http/HttpRequests.hpp"
#include "bridge/roku/RokuOptions.hpp"
#include "bridge/roku/RokuXml.hpp"
#include "platform/MainLoop.hpp"

namespace orvel {

class RokuTV {
public:
    struct Hooks {
        std::function<void(nlohmann::json event)> emit;
        // The TV stopped answering; `reason` is the sentence for "disconnected". The owner may
        // destroy this RokuTV from inside the call.
        std::function<void(const std::string& reason)> lost;
    };

    RokuTV(MainLoop& loop, HttpTransport& transport, const RokuOptions& options, std::string id,
           std::string hostPort, RokuDeviceInfo info, Hooks hooks);
    RokuTV(const RokuTV&) = delete;
    RokuTV& operator=(const RokuTV&) = delete;

    const std::string& id() const { return id_; }
    const std::string& hostPort() const { return hostPort_; }
    const RokuDeviceInfo& info() const { return info_; }
    std::string name() const { return rokuDisplayName(info_); }

    bool connected() const { return connected_; }
    bool watched() const { return watched_; }
    void setConnected(bool connected);
    void setWatched(bool watched);

    // Sends the current state now, or after the first poll when none has answered yet: what a
    // connect or watch promises right after its reply.
    void announce();
    // A command went through: look again shortly (device-info too when the power may have
    // changed), and the TV is out of limited mode.
    void commandSucceeded(bool powerMayChange);
    // A command was refused because the TV is in limited mode.
    void commandLimited();

private:
    double interval() const;
    void pollAt(double when);
    void startPoll();
    void take(const std::string& path, const HttpResponse& response);
    void finishPoll();
    void setLimited(bool queries, bool commands);
    nlohmann::json state() const;
    void publish(bool force);

    MainLoop& loop_;
    const RokuOptions& options_;
    std::string id_;
    std::string hostPort_;
    RokuDeviceInfo info_;
    Hooks hooks_;
    HttpRequests requests_;
    bool connected_ = false;
    bool watched_ = false;

    // Polling.
    CancelHandle timer_;
    std::optional<double> wantedAt_;
    bool polling_ = false;
    int outstanding_ = 0;
    bool unanswered_ = false;
    double pollStart_ = 0;
    double deviceInfoDue_ = 0;
    int failures_ = 0;
    bool polledOnce_ = false;
    bool announce_ = false;

    // What the TV said last.
    RokuActiveApp app_;
    std::optional<RokuMediaPlayer> player_;
    std::optional<std::string> power_;
    bool queriesRefused_ = false;   // limited mode, as the polls see it
    bool commandsRefused_ = false;  // limited mode, as the last command saw it
    bool replaced_ = false;         // another Roku answers at this address
    nlohmann::json lastSent_;
    double lastSentAt_ = 0;
};

}  // namespace orvel

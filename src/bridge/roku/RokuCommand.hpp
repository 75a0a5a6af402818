#pragma once
// RokuCommand: one "command" request carried out on a Roku: a keypress, play or pause as the
// player needs it, text typed scalar by scalar over one kept-alive connection, or an app
// launch. It answers within the request budget: text that cannot be typed in time is refused
// before the first key, and typing stops (with a sentence saying how far it got) when the TV
// slows down so much that the budget would run out. A wake that the TV does not answer (deep
// standby) sends the wake-up packet, waits for the TV to answer, and presses PowerOn then.
// Owned by the RokuBackend until `done`; loop thread only; destroying it cancels what is in
// flight.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/http/HttpRequests.hpp"
#include "bridge/protocol/Backend.hpp"
#include "bridge/roku/RokuOptions.hpp"
#include "bridge/roku/RokuXml.hpp"
#include "platform/MainLoop.hpp"
#include "platform/Result.hpp"

namespace orvel {

// The TV a request concerns, as last seen.
struct RokuTarget {
    std::string id;
    std::string hostPort;
    RokuDeviceInfo info;
};

class RokuCommand {
public:
    enum class Outcome {
        failed,     // the reply carries the reason
        succeeded,  // the TV took it
        limited,    // the TV refused it because remote apps are limited
    };
    struct Result {
        nlohmann::json reply;
        Outcome outcome = Outcome::failed;
        std::optional<double> keySeconds;  // the mean time the TV took per key, when timed
    };
    using Done = std::function<void(Result result)>;
    // Sends the wake-up packet to the TV.
    using WakeUp = std::function<orvel::Result<void>()>;

    // `keySeconds`: how long a key is expected to take on this TV, to refuse up front a text
    // that could not be typed in time.
    RokuCommand(MainLoop& loop, HttpTransport& transport, const RokuOptions& options,
                RokuTarget target, CommandArgs args, double keySeconds, Done done);
    RokuCommand(const RokuCommand&) = delete;
    RokuCommand& operator=(const RokuCommand&) = delete;

    // How a "wake" reaches this TV when it answers nothing; without it such a wake fails.
    void wakeWith(WakeUp wake) { wake_ = std::move(wake); }

    // Completes through `done`, possibly before returning. `arrived`: when the request came
    // (finding the TV may have taken part of its budget already).
    void start(double arrived);

private:
    void pressNext();
    void afterPlayer(const HttpResponse& response);
    // Handles a refused or unanswered step; false when the command can go on.
    bool failedStep(const HttpResponse& response);
    // After the TV did not answer a wake: the packet went out and the TV is being asked again.
    bool wakingUp(const HttpResponse& response);
    void askAfterWake();
    void finish(nlohmann::json reply, Outcome outcome);
    // False (after finishing) when another step could not be answered within the budget.
    bool inTime();

    MainLoop& loop_;
    const RokuOptions& options_;
    RokuTarget target_;
    CommandArgs args_;
    Done done_;
    WakeUp wake_;
    bool wakeSent_ = false;
    CancelHandle retry_;
    HttpRequests requests_;
    std::vector<std::string> paths_;  // POSTs still to send, in order
    std::size_t sent_ = 0;
    double deadline_ = 0;  // no new step starts after this
    double keySeconds_ = 0;
    double stepStarted_ = 0;
    double timedSeconds_ = 0;  // spent on the keys sent so far
};

}  // namespace orvel

#pragma once
// BridgeTransport: how the session talks to the TV bridge. BridgeClient runs the real bridge
// as a child process; tests give the session a transport that answers in-process on the
// virtual clock. Every implementation keeps the same promises:
// - one request is on the wire at a time, the rest wait in order;
// - every completion runs exactly once on the loop thread, with the reply or {"error": text};
// - request() on a transport that is not started completes at once with an error;
// - onFailure is told when a started session ends by itself, after the pending completions,
//   and not for stop().
// Owned by the session (AppStore); loop thread only.

#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace orvel {

class BridgeTransport {
public:
    using Completion = std::function<void(const nlohmann::json& reply)>;
    using EventHandler = std::function<void(const nlohmann::json& event)>;
    using FailureHandler = std::function<void(const std::string& message)>;

    virtual ~BridgeTransport() = default;

    virtual void setOnEvent(EventHandler handler) = 0;
    virtual void setOnFailure(FailureHandler handler) = 0;

    // Starts the bridge unless it runs; the sentence saying why it could not start otherwise.
    virtual std::optional<std::string> start() = 0;
    // Ends the running bridge quietly; pending requests fail.
    virtual void stop() = 0;
    // `fields` is an object (or null for none). An empty completion ignores the reply. There
    // is no default time-out: every caller passes its own.
    virtual void request(const std::string& op, const nlohmann::json& fields, double timeout,
                         Completion completion) = 0;
};

}  // namespace orvel

#pragma once
// ProcessBridgeClient: runs the TV bridge as a child process and exchanges one JSON object
// per line with it. One request is on the wire at a time, the rest wait in order; each has
// its own time-out counted from its write; responses are matched by "id" and every other
// line goes to the event handler. When anything goes wrong the whole session ends: pending
// requests fail, the child's stdin is closed and it is terminated in stages.
//
//   ProcessBridgeClient client(loop, [] { return ProcessBridgeClient::Configuration{path, {}}; });
//   if (auto error = client.start()) show(*error);
//   client.request("scan", {}, 30.0, [](const nlohmann::json& reply) { ... });
//
// Owner: the session's bridge wrapper. Thread: every call on the loop thread (checked; a
// call from elsewhere aborts), and every callback runs there. Every completion is called
// exactly once, with the response or with {"error": message}. Ends with stop() or
// destruction (which stops quietly); the loop must outlive the client. A callback may
// destroy the client.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/MainLoop.hpp"

namespace orvel {

class ProcessBridgeClient {
public:
    struct Configuration {
        std::string executable;
        std::vector<std::string> arguments;  // not including argv[0]
    };
    // Called afresh on every start, so the bridge is located at start time. Returns the
    // configuration or a sentence saying why there is none.
    using ConfigurationSource = std::function<std::variant<Configuration, std::string>()>;
    using Completion = std::function<void(const nlohmann::json& reply)>;
    using EventHandler = std::function<void(const nlohmann::json& event)>;
    using FailureHandler = std::function<void(const std::string& message)>;

    ProcessBridgeClient(MainLoop& loop, ConfigurationSource configuration);
    ~ProcessBridgeClient();
    ProcessBridgeClient(const ProcessBridgeClient&) = delete;
    ProcessBridgeClient& operator=(const ProcessBridgeClient&) = delete;

    // Every line that is not a response.
    void setOnEvent(EventHandler handler);
    // A running session ended by itself (not through stop()).
    void setOnFailure(FailureHandler handler);

    // Starts the bridge unless it runs. Returns the configuration's or the launch's error;
    // no callback is called for it.
    std::optional<std::string> start();
    // Sends {"op": op, "id": fresh id, ...fields}; `fields` is an object or null.
    void request(const std::string& op, nlohmann::json fields, double timeoutSeconds,
                 Completion completion);
    // Ends the running session quietly: pending requests fail, onFailure is not told.
    void stop();
    bool isStarted() const;

private:
    class Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace orvel

#pragma once
// FakeBridge: a scripted bridge transport that records every request and answers only when the
// test says so, in any order. TransportFake holds the handlers, which the control tests'
// simulated bridge shares.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "session/BridgeTransport.hpp"

namespace orvel::test {

inline const std::string kBridgeStopped = "The TV connection helper stopped.";
inline const std::string kBridgeNotRunning = "The TV helper is not running.";

class TransportFake : public BridgeTransport {
public:
    void setOnEvent(EventHandler handler) override { onEvent_ = std::move(handler); }
    void setOnFailure(FailureHandler handler) override { onFailure_ = std::move(handler); }
    void emit(const nlohmann::json& event) {
        if (auto handler = onEvent_) handler(event);
    }

protected:
    EventHandler onEvent_;
    FailureHandler onFailure_;
};

class FakeBridge final : public TransportFake {
public:
    struct Request {
        std::string op;
        nlohmann::json fields;
        Completion completion;
        bool answered = false;
    };

    std::optional<std::string> start() override {
        if (startError) return startError;
        starts += !running;
        running = true;
        return std::nullopt;
    }
    void stop() override {
        ++stops;
        end(kBridgeStopped, false);
    }
    void request(const std::string& op, const nlohmann::json& fields, double,
                 Completion completion) override {
        if (running) {
            requests.push_back({op, fields, std::move(completion)});
        } else if (completion) {
            completion({{"error", kBridgeNotRunning}});
        }
    }

    // Answers the oldest unanswered request of `op`; false when there is none.
    bool reply(const std::string& op, const nlohmann::json& reply = nlohmann::json::object()) {
        for (auto& request : requests) {
            if (request.op != op || request.answered) continue;
            request.answered = true;
            if (auto completion = request.completion) completion(reply);
            return true;
        }
        return false;
    }
    // The bridge ends by itself.
    void die(const std::string& message) { end(message, true); }

    std::vector<std::string> ops() const {
        std::vector<std::string> names;
        for (const auto& request : requests) names.push_back(request.op);
        return names;
    }
    std::size_t count(const std::string& op) const { return sent(op).size(); }
    // The actions of the "command" requests, in order.
    std::vector<std::string> actions() const {
        std::vector<std::string> names;
        for (const auto& fields : sent("command")) names.push_back(fields["action"]);
        return names;
    }
    // The fields of the `op` requests from the `from`th request on.
    std::vector<nlohmann::json> sent(const std::string& op, std::size_t from = 0) const {
        std::vector<nlohmann::json> fields;
        for (auto i = from; i < requests.size(); ++i) {
            if (requests[i].op == op) fields.push_back(requests[i].fields);
        }
        return fields;
    }
    std::size_t unanswered(const std::string& op) const {
        std::size_t n = 0;
        for (const auto& request : requests) n += request.op == op && !request.answered;
        return n;
    }
    // The latest request, or the latest of `op`.
    const Request& last(const std::string& op = "") const {
        for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
            if (op.empty() || it->op == op) return *it;
        }
        throw std::runtime_error("no " + op + " request");
    }

    std::optional<std::string> startError;
    bool running = false;
    int starts = 0;
    int stops = 0;
    std::vector<Request> requests;

private:
    void end(const std::string& message, bool notify) {
        if (!running) return;
        running = false;
        std::vector<Completion> pending;
        for (auto& request : requests) {
            if (!request.answered) pending.push_back(request.completion);
            request.answered = true;
        }
        for (auto& completion : pending) {
            if (completion) completion({{"error", message}});
        }
        // Asked after the completions, which may have started the bridge again.
        if (auto handler = onFailure_; notify && handler && !running) handler(message);
    }
};

}  // namespace orvel::test

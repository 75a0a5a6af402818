#pragma once
// FakeBridge: a scripted bridge transport for session tests. It records every request and
// answers only when the test says so, in any order, so tests can hold a reply back and let it
// arrive late. It keeps the transport's promises: a request while stopped fails at once, and
// a bridge that dies fails what is pending before it tells onFailure.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "session/BridgeTransport.hpp"

namespace orvel::test {

class FakeBridge final : public BridgeTransport {
public:
    struct Request {
        std::string op;
        nlohmann::json fields;
        Completion completion;
        bool answered = false;
    };

    void setOnEvent(EventHandler handler) override { onEvent_ = std::move(handler); }
    void setOnFailure(FailureHandler handler) override { onFailure_ = std::move(handler); }

    std::optional<std::string> start() override {
        if (startError) return startError;
        if (!running) ++starts;
        running = true;
        return std::nullopt;
    }
    void stop() override {
        ++stops;
        end("The TV connection helper stopped.", false);
    }
    void request(const std::string& op, const nlohmann::json& fields, double,
                 Completion completion) override {
        if (!running) {
            if (completion) completion({{"error", "The TV helper is not running."}});
            return;
        }
        requests.push_back({op, fields, std::move(completion)});
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
    void emit(const nlohmann::json& event) {
        if (auto handler = onEvent_) handler(event);
    }
    // The bridge ends by itself.
    void die(const std::string& message) { end(message, true); }

    std::vector<std::string> ops() const {
        std::vector<std::string> names;
        for (const auto& request : requests) names.push_back(request.op);
        return names;
    }
    std::size_t count(const std::string& op) const { return sent(op).size(); }
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
        for (auto& request : requests) {
            if (request.answered) continue;
            request.answered = true;
            if (auto completion = request.completion) completion({{"error", message}});
        }
        if (notify && !running) {
            if (auto handler = onFailure_) handler(message);
        }
    }

    EventHandler onEvent_;
    FailureHandler onFailure_;
};

}  // namespace orvel::test

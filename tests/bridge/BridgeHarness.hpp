#pragma once
// BridgeHarness: a Dispatcher on a ManualLoop with its output collected, for driving the
// bridge protocol in-process. Test thread only.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/Dispatcher.hpp"
#include "bridge/Household.hpp"
#include "bridge/SimBackend.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel::test {

using nlohmann::json;

class BridgeHarness {
public:
    explicit BridgeHarness(Household household = Household::builtIn()) {
        auto backend = std::make_unique<SimBackend>(loop, std::move(household.tvs));
        sim = backend.get();
        Dispatcher::Output output;
        output.writeLine = [this](std::string_view line) { lines.emplace_back(line); };
        output.exit = [this](int status) { exitStatus = status; };
        dispatcher = Dispatcher::create(loop, std::move(backend), std::move(household.faults),
                                        std::move(output));
    }

    // Sends `request` with a fresh id and returns the reply to it (null when none came);
    // the other lines written meanwhile stay in `lines`.
    json call(json request) {
        const std::string id = "r" + std::to_string(++counter_);
        request["id"] = id;
        send(request.dump());
        return takeReply(id);
    }
    void send(const std::string& line) { dispatcher->receive(line + "\n"); }

    json takeReply(const std::string& id) {
        for (auto it = lines.begin(); it != lines.end(); ++it) {
            auto object = json::parse(*it, nullptr, false);
            if (object.is_object() && object.value("id", json()) == json(id)) {
                lines.erase(it);
                return object;
            }
        }
        return nullptr;
    }
    // Removes and returns every event written so far.
    std::vector<json> takeEvents() {
        std::vector<json> events;
        std::vector<std::string> rest;
        for (auto& line : lines) {
            auto object = json::parse(line, nullptr, false);
            if (object.is_object() && object.contains("event")) {
                events.push_back(object);
            } else {
                rest.push_back(line);
            }
        }
        lines = std::move(rest);
        return events;
    }
    // The "state" events of `device` written so far (all other events are dropped).
    std::vector<json> takeStates(const std::string& device) {
        std::vector<json> states;
        for (auto& event : takeEvents()) {
            if (event["event"] == "state" && event["device"] == device) states.push_back(event);
        }
        return states;
    }

    json pairAndConnect(const std::string& device) {
        json credentials = json::object();
        for (const auto& protocol : sim->tv(device)->config().protocols) {
            credentials[protocol] = SimBackend::credentialFor(sim->tv(device)->config(), protocol);
        }
        return call({{"op", "connect"}, {"device", device}, {"credentials", credentials}});
    }

    ManualLoop loop;
    SimBackend* sim = nullptr;
    std::shared_ptr<Dispatcher> dispatcher;
    std::vector<std::string> lines;
    std::optional<int> exitStatus;

private:
    int counter_ = 0;
};

}  // namespace orvel::test

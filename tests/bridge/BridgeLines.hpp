#pragma once
// BridgeLines: a Dispatcher driven in-process with its output lines collected, whatever the
// backend and loop behind it. Test thread only.

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/protocol/Dispatcher.hpp"

namespace orvel::test {

using nlohmann::json;

// The fields of `object` that `like` names, to compare with `like`.
inline json pick(const json& object, const json& like) {
    json picked = json::object();
    for (const auto& [key, value] : like.items()) picked[key] = object.value(key, json());
    return picked;
}

// A reply without an error.
inline bool succeeded(const json& reply) {
    return reply.is_object() && !reply.contains("error");
}

class BridgeLines {
public:
    // Runs the harness's loop until `ready` holds or its patience ends. A backend that
    // answers at once needs none.
    std::function<void(const std::function<bool()>& ready)> pump = [](const auto&) {};

    Dispatcher::Output output() {
        Dispatcher::Output output;
        // this: the harness owns the dispatcher these are handed to.
        output.writeLine = [this](std::string_view line) { lines.emplace_back(line); };
        output.exit = [this](int status) { exitStatus = status; };
        return output;
    }

    // Sends `request` with a fresh id and returns the reply to it (null when none came);
    // the other lines written meanwhile stay in `lines`.
    json call(json request) {
        const std::string id = "r" + std::to_string(++counter_);
        request["id"] = id;
        send(request.dump());
        pump([&] { return find(id) != lines.end(); });
        return takeReply(id);
    }
    void send(const std::string& line) { dispatcher->receive(line + "\n"); }

    json takeReply(const std::string& id) {
        auto it = find(id);
        if (it == lines.end()) return nullptr;
        auto object = json::parse(*it);
        lines.erase(it);
        return object;
    }
    // Removes and returns every event written so far.
    std::vector<json> takeEvents() {
        std::vector<json> events;
        std::erase_if(lines, [&](const std::string& line) {
            auto object = json::parse(line, nullptr, false);
            if (!object.is_object() || !object.contains("event")) return false;
            events.push_back(std::move(object));
            return true;
        });
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

    std::shared_ptr<Dispatcher> dispatcher;
    std::vector<std::string> lines;
    std::optional<int> exitStatus;

private:
    std::vector<std::string>::iterator find(const std::string& id) {
        return std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
            auto object = json::parse(line, nullptr, false);
            return object.is_object() && object.value("id", json()) == json(id);
        });
    }

    int counter_ = 0;
};

}  // namespace orvel::test

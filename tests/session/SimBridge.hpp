#pragma once
// SimBridge: the simulated household's own Dispatcher as an in-process bridge transport, on
// the test's ManualLoop. Lines reach the session on the loop, as the reader thread hands them
// over. It has no time-outs and never ends by itself: the household answers every request.
// It keeps the fields of every "command" it is given. Test thread only.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "FakeBridge.hpp"
#include "bridge/protocol/Dispatcher.hpp"
#include "bridge/sim/Household.hpp"
#include "bridge/sim/SimBackend.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel::test {

class SimBridge final : public TransportFake {
public:
    explicit SimBridge(ManualLoop& loop, Household household = Household::builtIn())
        : loop_(loop), household_(std::move(household)) {}
    ~SimBridge() override { stop(); }

    std::optional<std::string> start() override {
        if (dispatcher_) return std::nullopt;
        // Lines posted by a run that has ended are dropped.
        run_ = std::make_shared<int>(0);
        Dispatcher::Output output;
        output.writeLine = [this, run = std::weak_ptr<int>(run_)](std::string_view line) {
            loop_.post([this, run, line = std::string(line)] {
                if (!run.expired()) route(line);
            });
        };
        dispatcher_ = Dispatcher::create(loop_, std::make_unique<SimBackend>(loop_, household_.tvs),
                                         household_.faults, std::move(output));
        dispatcher_->start();
        return std::nullopt;
    }
    void stop() override {
        if (!dispatcher_) return;
        run_.reset();
        dispatcher_.reset();
        std::vector<Completion> failed;
        for (auto& [id, completion] : pending_) failed.push_back(std::move(completion));
        pending_.clear();
        endWith(failed, kBridgeStopped, false, [] { return true; });
    }
    void request(const std::string& op, const nlohmann::json& fields, double,
                 Completion completion) override {
        if (op == "command") commands.push_back(fields);
        if (!dispatcher_) {
            if (completion) completion({{"error", kBridgeNotRunning}});
            return;
        }
        nlohmann::json line = fields.is_object() ? fields : nlohmann::json::object();
        line["id"] = "r" + std::to_string(++counter_);
        line["op"] = op;
        pending_[line["id"]] = std::move(completion);
        dispatcher_->receive(line.dump() + "\n");
    }

    std::vector<nlohmann::json> commands;

private:
    void route(const std::string& text) {
        auto object = nlohmann::json::parse(text, nullptr, false);
        if (!object.is_object()) return;
        auto id = object.find("id");
        if (id == object.end() || !id->is_string()) return emit(object);
        auto pending = pending_.extract(id->get<std::string>());
        if (!pending.empty() && pending.mapped()) pending.mapped()(object);
    }

    ManualLoop& loop_;
    Household household_;
    std::shared_ptr<Dispatcher> dispatcher_;
    std::map<std::string, Completion> pending_;
    int counter_ = 0;
    std::shared_ptr<int> run_;
};

// What pairing with the built-in household's TV `id` gives, every protocol.
inline CredentialSet pairedCredentials(const std::string& id) {
    CredentialSet set;
    for (const auto& tv : Household::builtIn().tvs) {
        if (tv.id != id) continue;
        for (const auto& protocol : tv.protocols) {
            set[protocol] = SimBackend::credentialFor(tv, protocol);
        }
    }
    return set;
}

}  // namespace orvel::test

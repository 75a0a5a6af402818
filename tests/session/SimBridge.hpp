#pragma once
// SimBridge: the simulated household's own Dispatcher as an in-process bridge transport, on
// the test's ManualLoop. It keeps the transport's promises the way the process client does:
// one request on the wire at a time, time-outs on the (virtual) clock, lines delivered on the
// loop, and a "bridge" that can stop, crash and be started again (a fresh household state,
// the same credentials). It keeps the fields of every "command" it is given. Test thread only.

#include <deque>
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
    ~SimBridge() override { end(kBridgeStopped, false); }

    std::optional<std::string> start() override {
        if (dispatcher_) return std::nullopt;
        auto backend = std::make_unique<SimBackend>(loop_, household_.tvs);
        Dispatcher::Output output;
        // Lines reach the session on the loop, as the reader thread hands them over.
        // The token expires when this bridge ends or the transport goes.
        session_ = std::make_shared<int>(0);
        std::weak_ptr<int> session = session_;
        output.writeLine = [this, session](std::string_view line) {
            loop_.post([this, session, line = std::string(line)] {
                if (!session.expired()) route(line);
            });
        };
        output.exit = [this, session](int) {
            loop_.post([this, session] {
                if (!session.expired()) crash();
            });
        };
        dispatcher_ =
            Dispatcher::create(loop_, std::move(backend), household_.faults, std::move(output));
        dispatcher_->start();
        return std::nullopt;
    }
    void stop() override { end(kBridgeStopped, false); }
    void request(const std::string& op, const nlohmann::json& fields, double timeout,
                 Completion completion) override {
        if (!completion) completion = [](const nlohmann::json&) {};
        if (op == "command") commands.push_back(fields);
        if (!dispatcher_) {
            completion({{"error", kBridgeNotRunning}});
            return;
        }
        nlohmann::json line = fields.is_object() ? fields : nlohmann::json::object();
        line["id"] = "r" + std::to_string(++counter_);
        line["op"] = op;
        queued_.push_back({line, timeout, std::move(completion)});
        dispatchNext();
    }

    // The bridge dies as a process would.
    void crash() { end("The TV connection helper stopped. Reconnect to try again.", true); }

    std::vector<nlohmann::json> commands;

private:
    struct Pending {
        nlohmann::json line;
        double timeout;
        Completion completion;
    };

    void dispatchNext() {
        if (active_ || queued_.empty() || !dispatcher_) return;
        active_ = std::move(queued_.front());
        queued_.pop_front();
        // this: the timer is a member, cancelled when this transport goes.
        deadline_ = loop_.postAfter(active_->timeout, [this] {
            end("The TV did not respond. Reconnect to try again.", true);
        });
        dispatcher_->receive(active_->line.dump() + "\n");
    }
    void route(const std::string& text) {
        auto object = nlohmann::json::parse(text, nullptr, false);
        if (!object.is_object()) return;
        auto id = object.find("id");
        if (id == object.end() || !id->is_string()) {
            emit(object);
            return;
        }
        if (!active_ || active_->line["id"] != *id) return;
        deadline_.cancel();
        auto completion = std::move(active_->completion);
        active_.reset();
        completion(object);
        dispatchNext();
    }
    void end(const std::string& message, bool notify) {
        if (!dispatcher_) return;
        session_.reset();
        dispatcher_.reset();
        deadline_.cancel();
        std::vector<Completion> failed;
        if (active_) failed.push_back(std::move(active_->completion));
        active_.reset();
        for (auto& pending : queued_) failed.push_back(std::move(pending.completion));
        queued_.clear();
        endWith(failed, message, notify, [this] { return dispatcher_ != nullptr; });
    }

    ManualLoop& loop_;
    Household household_;
    std::shared_ptr<Dispatcher> dispatcher_;
    std::deque<Pending> queued_;
    std::optional<Pending> active_;
    CancelHandle deadline_;
    int counter_ = 0;
    std::shared_ptr<int> session_;
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

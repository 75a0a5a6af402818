#pragma once
// SimBackend: the simulated household behind the bridge. It answers every request as the real
// TVs would: scanning lists the household, Apple TVs pair with the PIN they "show" and then
// insist on the credentials that pairing produced, and every change of a connected or watched
// TV becomes a "state" event. Owned by the Dispatcher; loop thread; time from the MainLoop.
//
// Credentials are derived from the TV, the protocol and the PIN, so they stay valid across
// bridge restarts (the application keeps them) and differ per TV and protocol.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bridge/protocol/Backend.hpp"
#include "bridge/sim/Household.hpp"
#include "bridge/sim/SimTV.hpp"
#include "platform/MainLoop.hpp"

namespace orvel {

class SimBackend final : public Backend {
public:
    // `commandLog`: where each command performed is appended as a JSON line ("device",
    // "action" and the text, volume or app it came with); empty: nowhere.
    SimBackend(MainLoop& loop, std::vector<SimTVConfig> tvs, std::string commandLog = {});
    ~SimBackend() override;
    SimBackend(const SimBackend&) = delete;
    SimBackend& operator=(const SimBackend&) = delete;

    void setEventSink(EventSink sink) override { sink_ = std::move(sink); }
    void scan(BackendReply reply) override;
    void connect(const std::string& device, const Credentials& credentials,
                 BackendReply reply) override;
    void disconnect(const std::optional<std::string>& device, BackendReply reply) override;
    void watch(const std::string& device, const Credentials& credentials,
               BackendReply reply) override;
    void command(const CommandArgs& args, BackendReply reply) override;
    void apps(const std::optional<std::string>& device,
              const std::optional<Credentials>& credentials, BackendReply reply) override;
    void pairBegin(const std::string& device, const std::string& protocol,
                   BackendReply reply) override;
    void pairFinish(const std::string& pin, BackendReply reply) override;
    void pairCancel(BackendReply reply) override;
    std::string impliedDevice(BridgeOp op) const override;

    // The credential that pairing `tv` over `protocol` hands out.
    static std::string credentialFor(const SimTVConfig& tv, const std::string& protocol);

private:
    struct Pairing {
        std::string device;
        std::string protocol;
    };

    SimTV* find(const std::string& id);
    // The TV a request names, checked against its credentials unless it is already connected
    // or watched (those were checked then). Sets `error` and returns null when refused.
    SimTV* reach(const std::optional<std::string>& device,
                 const std::optional<Credentials>& credentials, std::string& error);
    std::string checkCredentials(const SimTV& tv, const Credentials& credentials) const;
    bool isFollowed(const std::string& id) const;
    void emitState(SimTV& tv);
    void emit(nlohmann::json event);
    // Keeps the end-of-item timer of `tv` in step with its playback.
    void scheduleEnd(SimTV& tv);

    void noteCommand(const SimTV& tv, const CommandArgs& args) const;

    MainLoop& loop_;
    const std::string commandLog_;
    std::vector<std::unique_ptr<SimTV>> tvs_;
    std::string connected_;  // empty: none
    std::set<std::string> watched_;
    std::optional<Pairing> pairing_;
    std::map<std::string, CancelHandle> endTimers_;
    EventSink sink_;
};

}  // namespace orvel

#pragma once
// UnavailableBackend: what the bridge serves when no simulation is asked for. There is no
// backend for real TVs yet, so a scan finds nothing and every other request is refused with a
// sentence that says so. Owned by the Dispatcher; loop thread.

#include "bridge/Backend.hpp"

namespace orvel {

class UnavailableBackend final : public Backend {
public:
    static constexpr const char* kMessage =
        "No backend for real TVs is built into this TV helper yet. Set ORVEL_SIMULATE=1 to "
        "use simulated TVs.";

    void setEventSink(EventSink) override {}
    void scan(BackendReply reply) override;
    void connect(const std::string&, const Credentials&, BackendReply reply) override;
    void disconnect(const std::optional<std::string>&, BackendReply reply) override;
    void watch(const std::string&, const Credentials&, BackendReply reply) override;
    void command(const CommandArgs&, BackendReply reply) override;
    void apps(const std::optional<std::string>&, const std::optional<Credentials>&,
              BackendReply reply) override;
    void pairBegin(const std::string&, const std::string&, BackendReply reply) override;
    void pairFinish(const std::string&, BackendReply reply) override;
    void pairCancel(BackendReply reply) override;
    std::string impliedDevice(BridgeOp) const override { return {}; }

private:
    static void refuse(const BackendReply& reply);
};

}  // namespace orvel

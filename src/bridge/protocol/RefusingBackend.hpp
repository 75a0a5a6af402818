#pragma once
// RefusingBackend: what the bridge serves when its setting cannot be used (a host list with
// an entry that is not an address): every request is refused with the sentence that says what
// is wrong, so the user reads it where the app shows errors instead of finding a bridge that
// never starts. Owned by the Dispatcher; loop thread.

#include <string>

#include "bridge/protocol/Backend.hpp"

namespace orvel {

class RefusingBackend final : public Backend {
public:
    explicit RefusingBackend(std::string sentence) : sentence_(std::move(sentence)) {}

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
    void refuse(const BackendReply& reply) const;

    std::string sentence_;
};

}  // namespace orvel

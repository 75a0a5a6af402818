#pragma once
// CombinedBackend: one Backend over the Roku TVs' and the Apple TVs' backends, so that the
// Dispatcher keeps talking to exactly one. A request naming a TV goes to the family its
// identifier belongs to (TVIdentifier); one without goes to the family of the connected TV, or
// of the TV being paired. A scan asks both and answers once with every TV found. The bridge
// has one connected TV: when a TV of one family connects, the other family lets its go.
//
//   auto backend = std::make_unique<CombinedBackend>(std::move(roku), std::move(appleTV));
//
// Owned by the Dispatcher; loop thread. It owns both backends, which end with it.

#include <memory>

#include "bridge/protocol/Backend.hpp"

namespace orvel {

class CombinedBackend final : public Backend {
public:
    CombinedBackend(std::unique_ptr<Backend> roku, std::unique_ptr<Backend> appleTV);

    void setEventSink(EventSink sink) override;
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
    void releaseConnection() override;
    std::string impliedDevice(BridgeOp op) const override;

private:
    Backend& familyOf(const std::string& device) const;
    // The family a request without a device concerns.
    Backend& current() const;

    std::unique_ptr<Backend> roku_;
    std::unique_ptr<Backend> appleTV_;
    Backend* connected_ = nullptr;  // the family whose TV connected last; none yet
    Backend* pairing_ = nullptr;    // the family of the last "pairBegin"
};

}  // namespace orvel

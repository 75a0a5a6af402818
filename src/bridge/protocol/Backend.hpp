#pragma once
// Backend: one family of TVs behind the bridge (the simulated household today, real TVs
// later). The Dispatcher owns exactly one and calls it on the loop thread with requests it has
// already validated; the backend never writes output itself.
//
// Every call completes exactly once through its Reply, at once or later on the loop thread:
// the reply holds the result fields, or {"error": sentence} for a failure the user reads as it
// stands. Events ("state", "disconnected") go to the event sink whenever a TV changes. The
// backend is destroyed by its Dispatcher; anything it scheduled must be cancelled by then.

#include <functional>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "bridge/protocol/BridgeOp.hpp"
#include "core/RemoteAction.hpp"

namespace orvel {

// Protocol name -> credential text that "pairFinish" handed out.
using Credentials = std::map<std::string, std::string>;
using BackendReply = std::function<void(nlohmann::json)>;
using EventSink = std::function<void(nlohmann::json)>;

// The reply of a request that failed, with the sentence the user reads.
inline nlohmann::json failureReply(std::string sentence) {
    return {{"error", std::move(sentence)}};
}

struct CommandArgs {
    RemoteAction action = RemoteAction::up;
    std::optional<std::string> device;  // none: the connected TV
    std::optional<Credentials> credentials;
    std::optional<std::string> text;
    std::optional<double> volume;
    std::optional<std::string> app;
};

class Backend {
public:
    virtual ~Backend() = default;

    virtual void setEventSink(EventSink sink) = 0;

    virtual void scan(BackendReply reply) = 0;
    virtual void connect(const std::string& device, const Credentials& credentials,
                         BackendReply reply) = 0;
    // No device: drop every connection and watch (the computer is going to sleep).
    virtual void disconnect(const std::optional<std::string>& device, BackendReply reply) = 0;
    virtual void watch(const std::string& device, const Credentials& credentials,
                       BackendReply reply) = 0;
    virtual void command(const CommandArgs& args, BackendReply reply) = 0;
    virtual void apps(const std::optional<std::string>& device,
                      const std::optional<Credentials>& credentials, BackendReply reply) = 0;
    virtual void pairBegin(const std::string& device, const std::string& protocol,
                           BackendReply reply) = 0;
    virtual void pairFinish(const std::string& pin, BackendReply reply) = 0;
    virtual void pairCancel(BackendReply reply) = 0;
    // A TV of another family has just become the connected one: end this backend's connection
    // as connecting to another of its own TVs would, keeping its watches. A backend that is
    // never combined with another has nothing to do.
    virtual void releaseConnection() {}

    // The TV that a request of `op` without a "device" concerns (the connected TV, or the one
    // being paired); empty when none. Lets per-TV fault scripts find their requests.
    virtual std::string impliedDevice(BridgeOp op) const = 0;
};

}  // namespace orvel

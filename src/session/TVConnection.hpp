#pragma once
// TVConnection: the selected TV's connection. It scans, connects with the TV's stored
// credentials, turns the bridge's events into the remote's state, and reconnects with a
// backoff when the connection or the bridge is lost; it keeps whom to reconnect while the
// computer sleeps.
//
//   connection.connect(tv, Initiator::kUser);  // credentials, then "connect"; retries later
//   connection.handleEvent(event);             // "ready", "state" and "disconnected"
//
// A job of AppStore (see SessionContext); loop thread only. Every continuation carries the
// generation it started with, which moves on every connect, disconnect, failure and sleep.

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "core/RemoteAction.hpp"
#include "session/SessionContext.hpp"
#include "session/TVDevice.hpp"

namespace orvel {

class TVConnection {
public:
    explicit TVConnection(SessionContext& context) : context_(context) {}

    void start();
    void shutdown();
    void suspend();
    void resume();
    void scan();
    // Only a connection the user asked for may make the keyring ask to be unlocked.
    void connect(const TVDevice& device, CredentialQueue::Initiator initiator);
    void disconnect();
    void release(const std::string& id);  // drop a TV that is not the desired one

    void handleEvent(const nlohmann::json& event);
    void bridgeFailed(const std::string& message);

    bool can(RemoteAction action) const;
    // Whom to connect or keep connected.
    bool isDesired(const std::string& id) const { return desiredID_ == id; }
    std::uint64_t generation() const { return generation_; }
    bool suspended() const { return suspended_; }

private:
    void handleReady(const nlohmann::json& event);
    void handleState(const nlohmann::json& event);
    void handleDisconnected(const nlohmann::json& event);
    void scanReplied(const nlohmann::json& reply);
    void credentialsLoaded(const TVDevice& device, std::uint64_t generation,
                           const CredentialLoad& loaded);
    void connectReplied(const TVDevice& device, std::uint64_t generation,
                        const nlohmann::json& reply);
    void scheduleReconnect();  // in the background
    void clearConnection();
    void resetPlayback();

    SessionContext& context_;
    bool handledInitialReady_ = false;
    std::optional<std::string> desiredID_;
    std::uint64_t generation_ = 0;
    CancelHandle retryTimer_;
    double retryDelay_ = SessionContext::kFirstRetryDelay;
    bool suspended_ = false;
};

}  // namespace orvel

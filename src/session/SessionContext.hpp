#pragma once
// SessionContext: what the jobs of one session share. AppStore owns it with the jobs beside it;
// each job reads and writes the published state through it, reaches the bridge and the
// keychain through it, and asks another job for help through `jobs`.
//
//   bridge.request("scan", {}, kRequestTimeout, context.whileAlive([this](const json& r) {
//       scanReplied(r);   // this: a job of the store, which whileAlive holds for the call
//   }));
//
// Owned by AppStore; loop thread only. The services it refers to must outlive it.

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/Defaults.hpp"
#include "platform/MainLoop.hpp"
#include "platform/Result.hpp"
#include "session/AppState.hpp"
#include "session/BridgeTransport.hpp"
#include "session/CredentialQueue.hpp"

namespace orvel {

class TVConnection;
class PairingFlow;
class TVWatcher;
class CommandSender;

struct SessionContext {
    // Bridge request time-outs: commands and app lists answer sooner than the rest.
    static constexpr double kRequestTimeout = 30;
    static constexpr double kCommandTimeout = 28;
    // Reconnection and watch retries start here and double up to the cap.
    static constexpr double kFirstRetryDelay = 5;
    static constexpr double kMaxRetryDelay = 60;
    static constexpr const char* kBridgeNotRunning = "Orvel's helper isn't running.";

    struct Jobs {
        TVConnection* connection = nullptr;
        PairingFlow* pairing = nullptr;
        TVWatcher* watcher = nullptr;
        CommandSender* commands = nullptr;
    };

    MainLoop& loop;
    Defaults& defaults;
    BridgeTransport& bridge;
    CredentialQueue& keychain;
    AppState& state;
    const bool demo;                          // only pairing asks: demo TVs are never paired
    std::weak_ptr<void> owner = {};           // the store; set once it is shared
    std::function<void()> changed = {};       // marks the published state as possibly changed
    std::function<void()> stateChanged = {};  // the same, and the shell's hook at once
    std::function<void()> showSettings = {};  // the shell's hook; may be empty
    Jobs jobs = {};
    bool shutDown = false;

    // Starts the bridge unless it runs; fails once the session was shut down.
    Result<void> startBridge();
    // A reply with an "error" text (even an empty one) puts it on the error line.
    bool failure(const nlohmann::json& reply);
    void requestIgnoringReply(const std::string& op, const nlohmann::json& fields);

    // `work` wrapped so that it runs only while the store lives, and holds it for the call.
    template <typename Work>
    auto whileAlive(Work work) const {
        return [owner = owner, work = std::move(work)](auto&&... args) mutable {
            if (auto held = owner.lock()) work(std::forward<decltype(args)>(args)...);
        };
    }
};

}  // namespace orvel

#pragma once
// CredentialQueue: the session's asynchronous door to the credential store. Every store call
// runs on the serial queue "quillon.orvel.keychain" (they may block on disk or D-Bus), one at a
// time in the order asked, and every completion is posted back to the loop.
//
//   keychain_.load(id, [weak, generation](CredentialLoad loaded) { ... });   // on the loop
//
// Owned by AppStore; call it on the loop thread. Destruction finishes the calls already queued
// (their completions are still posted); the store and the loop must outlive it. Completions
// hold their own owner weakly.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/CredentialStore.hpp"
#include "platform/MainLoop.hpp"

namespace orvel {

class SerialQueue;

class CredentialQueue {
public:
    static constexpr const char* kQueueLabel = "quillon.orvel.keychain";

    // Runs one store call somewhere off the loop. Tests pass one that runs it at once.
    using Executor = std::function<void(std::function<void()>)>;
    using LoadCompletion = std::function<void(CredentialLoad loaded)>;
    using Completion = std::function<void(std::optional<CredentialError> error)>;

    // An empty executor means the serial queue.
    CredentialQueue(MainLoop& loop, CredentialStore& store, Executor executor = {});
    ~CredentialQueue();
    CredentialQueue(const CredentialQueue&) = delete;
    CredentialQueue& operator=(const CredentialQueue&) = delete;

    void load(const std::string& identifier, LoadCompletion completion);
    void save(const std::string& identifier, CredentialSet credentials, Completion completion);
    void remove(const std::string& identifier, Completion completion);

private:
    void run(std::function<void()> work);

    MainLoop& loop_;
    CredentialStore& store_;
    Executor executor_;
    std::unique_ptr<SerialQueue> queue_;  // only when no executor was given
};

}  // namespace orvel

#pragma once
// CredentialQueue: the session's asynchronous door to the credential store. Every store call
// runs on the serial queue "quillon.orvel.keychain" (they may block on disk or D-Bus), one at a
// time in the order asked, and every completion is posted back to the loop.
//
//   keychain_.load(id, Initiator::kUser, [weak, generation](CredentialLoad loaded) { ... });
//
// Each call says who wants it: one the user asked for (pairing, a TV they chose) first lets
// the store ask them to unlock it; background work (watching, retries, the start) never does,
// and fails on a locked store instead.
//
// What the store says it found and set aside during a call (CredentialStore::takeProblems) is
// handed to the problem hook on the loop just before that call's completion.
//
// Owned by AppStore; call it on the loop thread. cancel() (quitting) makes the call under way
// and the queued ones fail promptly; destruction finishes the calls already queued (their
// completions are still posted); the store and the loop must outlive it. Completions hold
// their own owner weakly.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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
    using ProblemHook = std::function<void(const std::vector<std::string>& sentences)>;
    enum class Initiator { kUser, kBackground };

    // An empty executor means the serial queue.
    CredentialQueue(MainLoop& loop, CredentialStore& store, Executor executor = {});
    ~CredentialQueue();
    CredentialQueue(const CredentialQueue&) = delete;
    CredentialQueue& operator=(const CredentialQueue&) = delete;

    // For the calls asked from now on; it must hold its own owner weakly.
    void setOnProblems(ProblemHook hook) { onProblems_ = std::move(hook); }

    // Opens the store on the queue, ahead of the calls (the keyring's D-Bus connection), then
    // tells where it keeps the credentials (CredentialStore::description()).
    void open(std::function<void(const std::string& description)> opened = {});
    void load(const std::string& identifier, Initiator initiator, LoadCompletion completion);
    void save(const std::string& identifier, CredentialSet credentials, Initiator initiator,
              Completion completion);
    void remove(const std::string& identifier, Initiator initiator, Completion completion);
    // At once, on this thread.
    void cancel() { store_.cancel(); }

private:
    void run(Initiator initiator, std::function<void(CredentialStore&)> call);
    // Runs `call` on the store off the loop, then its problems and `completion` on the loop.
    template <typename Call, typename Done>
    void dispatch(Initiator initiator, Call call, Done completion);

    MainLoop& loop_;
    CredentialStore& store_;
    Executor executor_;
    ProblemHook onProblems_;
    std::unique_ptr<SerialQueue> queue_;  // only when no executor was given
};

}  // namespace orvel

#pragma once
// MemoryCredentialStore: credentials held in memory, for tests and demo runs. Thread-safe.
// failWith() makes every later call (open() too) fail with the given code until it is cleared,
// so session tests can drive the keyring's error paths; becomeLocked() makes it a locked keyring that
// counts the times it was asked to unlock; cancel() fails every later call.

#include <map>
#include <mutex>

#include "platform/CredentialStore.hpp"

namespace orvel {

class MemoryCredentialStore final : public CredentialStore {
public:
    CredentialLoad load(const std::string& identifier) override;
    std::optional<CredentialError> save(const std::string& identifier,
                                        const CredentialSet& credentials) override;
    std::optional<CredentialError> remove(const std::string& identifier) override;
    std::string kind() const override { return "memory"; }
    std::string description() const override;
    Result<void> open() override;
    std::optional<CredentialError> unlock() override;
    void cancel() override;

    void failWith(std::optional<CredentialErrorCode> code);
    // Calls fail with kLocked until unlock(), which succeeds unless the prompt is `dismissed`.
    void becomeLocked(bool dismissed = false);
    int unlockRequests() const;
    // A copy of everything stored, by identifier.
    std::map<std::string, CredentialSet> contents() const;

private:
    std::optional<CredentialError> injectedFailure() const;  // mutex_ held

    mutable std::mutex mutex_;
    std::map<std::string, CredentialSet> sets_;   // guarded by mutex_
    std::optional<CredentialErrorCode> failure_;  // guarded by mutex_
    bool locked_ = false;                         // guarded by mutex_
    bool dismisses_ = false;                      // guarded by mutex_
    int unlockRequests_ = 0;                      // guarded by mutex_
    bool cancelled_ = false;                      // guarded by mutex_
};

}  // namespace orvel

#pragma once
// ChosenCredentialStore: the credential store the app uses. The keyring when a Secret Service
// answers on the session bus with a default collection; otherwise the private file in the data
// folder, and keyringProblem() says why. The choice is made once, by open() or the first call,
// on the credential queue: constructing one asks nothing of D-Bus, so the loop never waits.
//
//   ChosenCredentialStore credentials(AppPaths::processEnvironment());
//   AppStore::create({..., .credentials = credentials, ...});   // its start() opens it
//
// With the keyring, what an earlier run kept in the file moves into it: an entry is written to
// the keyring when the keyring's set differs (the file's is the newer: it is written only while
// the keyring is not used) and leaves the file only once the keyring confirmed. What could not
// move yet (a locked keyring) moves when the user unlocks it or when its TV is loaded, and is
// read from the file until then. An older set the file cannot give up after a save is said
// through takeProblems() and never moved over the new one. Thread-safe (one call at a time,
// cancel() from any thread); never throws.

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/AppPaths.hpp"
#include "platform/CredentialStore.hpp"
#include "platform/FileCredentialStore.hpp"

namespace orvel {

class ChosenCredentialStore final : public CredentialStore {
public:
    // The Secret Service and the data folder of `env`.
    explicit ChosenCredentialStore(const AppPaths::Environment& env);
    // `keyring` is tried first; `dataFolder` holds the file (empty: no home folder).
    ChosenCredentialStore(std::unique_ptr<CredentialStore> keyring, std::string dataFolder);

    // Chooses; never fails (the file is the answer when the keyring is not).
    Result<void> open() override;
    std::optional<CredentialError> unlock() override;
    void cancel() override;
    CredentialLoad load(const std::string& identifier) override;
    std::optional<CredentialError> save(const std::string& identifier,
                                        const CredentialSet& credentials) override;
    std::optional<CredentialError> remove(const std::string& identifier) override;
    std::vector<std::string> takeProblems() override;
    // The chosen store's (with the file, also why the keyring was not used); "none" and a
    // sentence that says so before the choice.
    std::string kind() const override;
    std::string description() const override;

    // Why the keyring is not used, one sentence; empty while it is, or before the choice.
    std::string keyringProblem() const;

private:
    enum class Choice { kNone, kKeyring, kFile };

    // mutex_ held for these.
    std::optional<CredentialError> choose();
    CredentialStore& chosen();
    const CredentialStore* chosenOrNull() const;  // none before the choice
    void moveFileEntries();
    // `kept` is the file's set, `current` the keyring's; false while the file still holds it.
    bool moveEntry(const std::string& identifier, const CredentialSet& kept,
                   const CredentialLoad& current);

    const std::unique_ptr<CredentialStore> keyring_;  // its cancel() is called without mutex_
    FileCredentialStore file_;
    std::atomic<bool> cancelled_ = false;
    mutable std::mutex mutex_;
    Choice choice_ = Choice::kNone;  // guarded by mutex_
    std::string problem_;            // guarded by mutex_
    bool entriesLeft_ = false;       // guarded by mutex_: the file still holds some to move
    // Guarded by mutex_: TVs whose file entry is older than their keyring set, to be removed,
    // never moved.
    std::set<std::string> superseded_;
    std::vector<std::string> problems_;  // guarded by mutex_: for takeProblems()
};

}  // namespace orvel

#pragma once
// SecretServiceCredentialStore: pairing credentials in the desktop keyring (the Secret Service
// on the session bus), one item per TV in the default collection: schema
// "quillon.orvel.pairing", attribute "account" = the TV identifier, secret = the credential set
// as a JSON object of texts.
//
//   SecretServiceCredentialStore keyring;              // asks nothing of D-Bus yet
//   if (auto opened = keyring.open(); !opened) log(opened.error());
//
// Calls block on D-Bus (the session runs them on its keychain queue), one at a time. Only
// unlock() may show the keyring's prompt, and only once a run; load, save and remove fail with
// kLocked on a locked keyring. cancel() (any thread) ends the call under way, a prompt
// included, and fails every later one at once. Never throws; ends with the object.

#include <memory>
#include <mutex>
#include <string>

#include "platform/CredentialStore.hpp"
#include "platform/Result.hpp"

namespace orvel {

class SecretServiceCredentialStore final : public CredentialStore {
public:
    SecretServiceCredentialStore();
    // A store already open, or the sentence why it could not be opened.
    static Result<std::unique_ptr<SecretServiceCredentialStore>> connect();
    ~SecretServiceCredentialStore() override;
    SecretServiceCredentialStore(const SecretServiceCredentialStore&) = delete;
    SecretServiceCredentialStore& operator=(const SecretServiceCredentialStore&) = delete;

    // The service, a session with it and its default collection; a sentence for the settings
    // when one is missing. Every other call fails with kUnavailable until this succeeded.
    Result<void> open() override;
    std::optional<CredentialError> unlock() override;
    void cancel() override;

    CredentialLoad load(const std::string& identifier) override;
    std::optional<CredentialError> save(const std::string& identifier,
                                        const CredentialSet& credentials) override;
    std::optional<CredentialError> remove(const std::string& identifier) override;
    std::string kind() const override { return "keyring"; }
    std::string description() const override;

private:
    struct Service;

    // mutex_ held for all of these.
    Result<void> openService();
    std::optional<CredentialError> usable() const;
    std::optional<CredentialError> unlocked() const;
    std::optional<CredentialError> storeSecret(const std::string& identifier,
                                               const std::string& secret);

    std::mutex mutex_;                  // one call at a time
    std::unique_ptr<Service> service_;  // guarded by mutex_, but for its cancellable
    bool askedToUnlock_ = false;        // guarded by mutex_
};

}  // namespace orvel

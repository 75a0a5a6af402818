#pragma once
// SecretServiceCredentialStore: pairing credentials in the desktop keyring (the Secret Service
// on the session bus), one item per TV in the default collection: schema
// "quillon.orvel.pairing", attribute "account" = the TV identifier, secret = the credential set
// as a JSON object of texts.
//
//   auto keyring = SecretServiceCredentialStore::connect();   // failed: error() says why
//
// Calls block on D-Bus (the session runs them on its keychain queue); a keyring that has to
// ask the user (locked, no default collection) and cannot fails the call with its code.
// Thread-safe; never throws. Owned by whoever opened it; ends with the object.

#include <memory>
#include <string>

#include "platform/CredentialStore.hpp"
#include "platform/Result.hpp"

namespace orvel {

class SecretServiceCredentialStore final : public CredentialStore {
public:
    // The service on the session bus, with a session open to it; when none answers, the
    // reason (for logs and the settings).
    static Result<std::unique_ptr<SecretServiceCredentialStore>> connect();
    ~SecretServiceCredentialStore() override;
    SecretServiceCredentialStore(const SecretServiceCredentialStore&) = delete;
    SecretServiceCredentialStore& operator=(const SecretServiceCredentialStore&) = delete;

    CredentialLoad load(const std::string& identifier) override;
    std::optional<CredentialError> save(const std::string& identifier,
                                        const CredentialSet& credentials) override;
    std::optional<CredentialError> remove(const std::string& identifier) override;
    std::string kind() const override { return "keyring"; }
    std::string description() const override;

private:
    std::optional<CredentialError> storeSecret(const std::string& identifier,
                                               const std::string& secret);

    struct Service;
    explicit SecretServiceCredentialStore(std::unique_ptr<Service> service);

    std::unique_ptr<Service> service_;
};

}  // namespace orvel

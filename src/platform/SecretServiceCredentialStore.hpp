#pragma once
// SecretServiceCredentialStore: pairing credentials in the desktop keyring (the Secret Service
// on the session bus), one item per TV in the default collection: schema
// "quillon.orvel.pairing", attribute "account" = the TV identifier, secret = the credential set
// as a JSON object of texts.
//
//   std::string problem;
//   auto keyring = SecretServiceCredentialStore::connect(problem);   // null: problem says why
//
// Calls block on D-Bus (the session runs them on its keychain queue); a keyring that has to
// ask the user (locked, no default collection) and cannot fails the call with its code.
// Thread-safe; never throws. Owned by whoever opened it; ends with the object.

#include <memory>
#include <string>

#include "platform/CredentialStore.hpp"

namespace orvel {

class SecretServiceCredentialStore final : public CredentialStore {
public:
    // The service on the session bus, with a session open to it; null when none answers, with
    // `problem` set to the reason (for logs and the settings).
    static std::unique_ptr<SecretServiceCredentialStore> connect(std::string& problem);
    ~SecretServiceCredentialStore() override;
    SecretServiceCredentialStore(const SecretServiceCredentialStore&) = delete;
    SecretServiceCredentialStore& operator=(const SecretServiceCredentialStore&) = delete;

    CredentialLoad load(const std::string& identifier) override;
    std::optional<CredentialError> save(const std::string& identifier,
                                        const CredentialSet& credentials) override;
    std::optional<CredentialError> remove(const std::string& identifier) override;
    std::string kind() const override { return "keyring"; }
    std::string description() const override;

    // Writes `secret` as the item of `identifier` byte for byte, bypassing the encoding, so
    // that tests can plant what another program might have left there.
    std::optional<CredentialError> saveRawForTesting(const std::string& identifier,
                                                     const std::string& secret);

private:
    struct Service;
    explicit SecretServiceCredentialStore(std::unique_ptr<Service> service);

    std::unique_ptr<Service> service_;
};

}  // namespace orvel

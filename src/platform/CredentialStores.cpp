#include "platform/CredentialStores.hpp"

#include "platform/FileCredentialStore.hpp"
#include "platform/SecretServiceCredentialStore.hpp"

namespace orvel::CredentialStores {

Opened open(const AppPaths::Environment& env) {
    Opened opened;
    auto keyring = SecretServiceCredentialStore::connect();
    if (keyring) {
        opened.store = std::move(*keyring);
        return opened;
    }
    opened.keyringProblem = keyring.error();
    opened.store = std::make_unique<FileCredentialStore>(AppPaths::dataFolder(env).value_or(""));
    return opened;
}

}  // namespace orvel::CredentialStores

#pragma once
// CredentialStores: which credential store the app uses, chosen once at start. The keyring
// when a Secret Service answers on the session bus; otherwise the private file in the data
// folder. The file is never chosen while a keyring answers, and the choice is shown to the
// user (CredentialStore::kind() and description(), with the reason the keyring is not used).
//
//   auto opened = CredentialStores::open(AppPaths::processEnvironment());
//   AppStore::create({..., .credentials = *opened.store, ...});
//
// Call on the main thread at start; may block while D-Bus starts the service.

#include <memory>
#include <string>

#include "platform/AppPaths.hpp"
#include "platform/CredentialStore.hpp"

namespace orvel::CredentialStores {

struct Opened {
    std::unique_ptr<CredentialStore> store;  // never null
    std::string keyringProblem;              // why the keyring is not used; empty when it is
};

Opened open(const AppPaths::Environment& env);

}  // namespace orvel::CredentialStores

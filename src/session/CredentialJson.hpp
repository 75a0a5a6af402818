#pragma once
// The "credentials" object of connect, watch and command requests: a TV's credential set as
// the bridge handed it out, protocol name to credential text, passed back unchanged. Pure.

#include <optional>

#include <nlohmann/json.hpp>

#include "platform/CredentialStore.hpp"
#include "session/TVDevice.hpp"

namespace orvel {

inline nlohmann::json credentialsObject(const CredentialSet& credentials) {
    nlohmann::json object = nlohmann::json::object();
    for (const auto& [protocol, credential] : credentials) object[protocol] = credential;
    return object;
}

// What to send for `device` after its credentials were loaded: nothing when it needs pairing
// and has none (or the store failed). A TV that needs no pairing goes with what the store
// holds, or with none when the store failed: it must not depend on a damaged store.
inline std::optional<nlohmann::json> usableCredentials(const TVDevice& device,
                                                       const CredentialLoad& loaded) {
    if (!device.needsPairing())
        return credentialsObject(loaded.error ? CredentialSet{} : loaded.credentials);
    if (loaded.error || loaded.credentials.empty()) return std::nullopt;
    return credentialsObject(loaded.credentials);
}

}  // namespace orvel

#pragma once
// The "credentials" object of connect, watch and command requests: a TV's credential set as
// the bridge handed it out, protocol name to credential text, passed back unchanged. Pure.

#include <nlohmann/json.hpp>

#include "platform/CredentialStore.hpp"

namespace orvel {

inline nlohmann::json credentialsObject(const CredentialSet& credentials) {
    nlohmann::json object = nlohmann::json::object();
    for (const auto& [protocol, credential] : credentials) object[protocol] = credential;
    return object;
}

}  // namespace orvel

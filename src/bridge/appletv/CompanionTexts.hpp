#pragma once
// CompanionTexts: the sentences a Companion connection ends or fails with, in one place so that
// they read alike. Pure; any thread.

#include <string>

#include "bridge/companion/PairingFailure.hpp"
#include "bridge/protocol/BackendTexts.hpp"

namespace orvel::CompanionTexts {

// What stopped a pairing or verification, for a user who reads it as it stands.
std::string pairingSentence(const PairingFailure& failure);

// The backend's sentences, each naming the TV as the user knows it.
std::string wrongCode(const std::string& name);
std::string pairingRefused(const std::string& name);  // for a while, after failed attempts
std::string pairAgain(const std::string& name);       // a stored pairing that no longer verifies
std::string notPaired(const std::string& name);
// What a failed pairing step says: the TV's reason, or that it did not answer.
std::string pairingStep(const std::string& name, const PairingFailure* failure);
// What a failed verification says.
std::string verifyStep(const std::string& name, const PairingFailure* failure);

// Typing with no text field focused on the TV.
std::string noTextField(const std::string& name);
// The TV refused an action it offered, or one it has not said it takes.
std::string refused(const std::string& name, const std::string& action);
std::string noApp(const std::string& name, const std::string& app);

using BackendTexts::didNotAnswer;
using BackendTexts::kNoPairing;
using BackendTexts::kNotConnected;
using BackendTexts::notFound;
using BackendTexts::unsupported;

}  // namespace orvel::CompanionTexts

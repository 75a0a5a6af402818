#pragma once
// CompanionTexts: the sentences a Companion connection ends or fails with, in one place so that
// they read alike. Pure; any thread.

#include <string>

#include "bridge/companion/PairingFailure.hpp"

namespace orvel::CompanionTexts {

// What stopped a pairing or verification, for a user who reads it as it stands.
std::string pairingSentence(const PairingFailure& failure);

}  // namespace orvel::CompanionTexts

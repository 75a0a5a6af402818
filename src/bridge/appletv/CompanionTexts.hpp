#pragma once
// CompanionTexts: the sentences a Companion connection ends or fails with, in one place so that
// they read alike. Pure; any thread.

#include <initializer_list>
#include <string>
#include <string_view>

#include "bridge/companion/PairingFailure.hpp"

namespace orvel::CompanionTexts {

// The pieces one after the other.
inline std::string join(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text += piece;
    return text;
}

// What stopped a pairing or verification, for a user who reads it as it stands.
std::string pairingSentence(const PairingFailure& failure);

}  // namespace orvel::CompanionTexts

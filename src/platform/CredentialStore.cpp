#include "platform/CredentialStore.hpp"

namespace orvel {

std::string CredentialError::description() const {
    return "Pairing credentials could not be accessed in the keyring (" + std::to_string(number()) +
           ").";
}

}  // namespace orvel

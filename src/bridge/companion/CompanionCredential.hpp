#pragma once
// CompanionCredential: what pair-setup leaves behind for the protocol "Companion" and every
// pair-verify needs: our long-term Ed25519 key pair and pairing identifier, the TV's identifier and
// long-term public key. It travels as one line of text of our own form, kept in the keyring by the
// app:
//
//   companion-v1:<our seed>:<our public key>:<our identifier>:<TV identifier>:<TV public key>
//
// every field lower-case hex (identifiers as their UTF-8 bytes, so any character is safe). A later
// version may add fields at the end; this one reads the five it knows. Plain value.
//
//   auto credential = CompanionCredential::parse(stored);
//   if (!credential) log(credential.error()); else PairVerifyClient verify(*credential);

#include <string>
#include <string_view>

#include "bridge/crypto/Bytes.hpp"
#include "bridge/crypto/Ed25519.hpp"
#include "platform/Result.hpp"

namespace orvel {

struct CompanionCredential {
    crypto::Ed25519Keys ourKeys;
    std::string ourId;
    std::string tvId;
    crypto::Bytes tvPublicKey;

    std::string text() const;
    // A sentence when the text is not a credential this version reads, or its keys are not Ed25519
    // keys (our public key must be the one our seed gives).
    static Result<CompanionCredential> parse(std::string_view text);
};

}  // namespace orvel

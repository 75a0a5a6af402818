#pragma once
// PairVerifyClient: our side of pair-verify with a paired Apple TV (M1 to M4): a fresh X25519
// exchange in which each side signs both ephemeral keys with its long-term key, so the TV proves it
// is the one the credential names and we prove we are the one it paired. It ends with the shared
// secret the session keys come from (SessionCipher), or a PairingFailure. Takes and gives the TLV8
// bytes of "_pd". One per connection, driven in order by one thread.
//
//   PairVerifyClient verify(credential);
//   send(verify.m1());           // then onM2 -> M3, onM4 -> the shared secret

#include "bridge/companion/CompanionCredential.hpp"
#include "bridge/companion/PairingFailure.hpp"
#include "bridge/crypto/Bytes.hpp"
#include "bridge/crypto/X25519.hpp"

namespace orvel {

class PairVerifyClient {
public:
    explicit PairVerifyClient(CompanionCredential credential);

    crypto::Bytes m1() const;
    // otherTV when the TV names another identifier, badSignature when its signature is not by the
    // stored key.
    PairingOutcome<crypto::Bytes> onM2(crypto::ByteView m2);
    // The shared secret; notRecognised when the TV refuses our signature.
    PairingOutcome<crypto::Bytes> onM4(crypto::ByteView m4);

private:
    enum class Step { m2, m4, done };

    CompanionCredential credential_;
    crypto::X25519Keys ephemeral_;
    crypto::Bytes shared_;
    Step step_ = Step::m2;
};

}  // namespace orvel

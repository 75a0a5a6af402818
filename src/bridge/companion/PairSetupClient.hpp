#pragma once
// PairSetupClient: our side of pair-setup with an Apple TV (M1 to M6): SRP-6a over the PIN the TV
// shows, then an exchange of long-term Ed25519 keys under the SRP session key. It takes and gives
// the TLV8 bytes of "_pd"; the frames around them are the caller's. One per attempt, driven in
// order by one thread; it ends with a CompanionCredential or a PairingFailure.
//
//   PairSetupClient setup("0042");
//   send(setup.m1());   // then onM2 -> M3, onM4 -> M5, onM6 -> the credential

#include <optional>
#include <string>

#include "bridge/companion/CompanionCredential.hpp"
#include "bridge/companion/PairingFailure.hpp"
#include "bridge/crypto/Bytes.hpp"
#include "bridge/crypto/Ed25519.hpp"
#include "bridge/crypto/Srp6a.hpp"

namespace orvel {

class PairSetupClient {
public:
    // `pin`: the four ASCII digits the TV shows, as shown ("0042"). `info`: the OPACK dictionary
    // for M5's tag 0x11, already encoded; empty leaves the tag out. A fresh long-term key pair and
    // pairing identifier are drawn for every attempt.
    explicit PairSetupClient(std::string pin, crypto::Bytes info = {});
    // The same with our identity given, for a fixed identifier.
    PairSetupClient(std::string pin, std::string ourId, crypto::Ed25519Keys ourKeys,
                    crypto::Bytes info = {});

    crypto::Bytes m1() const;
    // Each answer in turn; a call out of order is malformed.
    PairingOutcome<crypto::Bytes> onM2(crypto::ByteView m2);
    PairingOutcome<crypto::Bytes> onM4(crypto::ByteView m4);
    PairingOutcome<CompanionCredential> onM6(crypto::ByteView m6);

private:
    enum class Step { m2, m4, m6, done };

    std::string pin_;
    std::string ourId_;
    crypto::Ed25519Keys ourKeys_;
    crypto::Bytes info_;
    Step step_ = Step::m2;
    std::optional<crypto::SrpClient> srp_;
    crypto::Bytes encryptKey_;  // once M4 proved that the TV knows the PIN
};

}  // namespace orvel

#pragma once
// PairVerifyAccessory: the Apple TV's side of pair-verify, for tests and a fake TV on loopback (the
// bridge never answers as a TV): M2 for M1, M4 for M3, refusing with Error 0x02 a client it did not
// pair or whose signature fails. One per connection, one thread.
//
//   PairVerifyAccessory tv("TV-ID", tvKeys, {paired});
//   auto m2 = tv.onM1(client.m1());   // ... then tv.sharedSecret() keys its SessionCipher

#include <optional>
#include <string>
#include <vector>

#include "bridge/companion/PairedController.hpp"
#include "bridge/crypto/Bytes.hpp"
#include "bridge/crypto/Ed25519.hpp"
#include "bridge/crypto/X25519.hpp"

namespace orvel {

class PairVerifyAccessory {
public:
    PairVerifyAccessory(std::string tvId, crypto::Ed25519Keys tvKeys,
                        std::vector<PairedController> controllers);

    crypto::Bytes onM1(crypto::ByteView m1);
    crypto::Bytes onM3(crypto::ByteView m3);

    // Once M3 checked out.
    const std::optional<crypto::Bytes>& sharedSecret() const { return verified_; }

private:
    std::string tvId_;
    crypto::Ed25519Keys tvKeys_;
    std::vector<PairedController> controllers_;
    crypto::X25519Keys ephemeral_;
    crypto::Bytes clientEphemeral_;
    crypto::Bytes shared_;
    std::optional<crypto::Bytes> verified_;
};

}  // namespace orvel

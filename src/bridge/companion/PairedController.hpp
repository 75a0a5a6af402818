#pragma once
// PairedController: a client as the TV side of pairing remembers it, for the accessories that stand
// in for a TV in tests. Plain value.

#include <string>

#include "bridge/crypto/Bytes.hpp"

namespace orvel {

struct PairedController {
    std::string id;
    crypto::Bytes publicKey;  // Ed25519, 32 bytes
    bool operator==(const PairedController&) const = default;
};

}  // namespace orvel

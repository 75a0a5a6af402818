#pragma once
// PairSetupAccessory: the Apple TV's side of pair-setup, small and strict, so that our client can
// be run against it in tests and by a fake TV on loopback; the bridge itself never answers as a TV.
// It takes the client's "_pd" bytes and gives its own: M2 for M1, M4 (or Error 0x02, with a
// RetryDelay if asked for) for M3, M6 for M5. One per attempt, one thread.
//
//   PairSetupAccessory tv("1234", "TV-ID", crypto::ed25519Generate());
//   auto m2 = tv.onM1(client.m1());   // ... then tv.paired() names the client

#include <cstdint>
#include <optional>
#include <string>

#include "bridge/companion/PairedController.hpp"
#include "bridge/crypto/Bytes.hpp"
#include "bridge/crypto/Ed25519.hpp"
#include "bridge/crypto/Srp6a.hpp"

namespace orvel {

class PairSetupAccessory {
public:
    // `wrongCodeDelay`: the RetryDelay seconds sent with a wrong PIN's Error 0x02, as newer TVs do.
    PairSetupAccessory(std::string pin, std::string tvId, crypto::Ed25519Keys tvKeys,
                       std::optional<std::uint32_t> wrongCodeDelay = std::nullopt);

    crypto::Bytes onM1(crypto::ByteView m1);
    crypto::Bytes onM3(crypto::ByteView m3);
    crypto::Bytes onM5(crypto::ByteView m5);

    // The client M5 introduced, once its signature checked out.
    const std::optional<PairedController>& paired() const { return paired_; }

private:
    std::string pin_;
    std::string tvId_;
    crypto::Ed25519Keys tvKeys_;
    std::optional<std::uint32_t> wrongCodeDelay_;
    std::optional<crypto::SrpServer> srp_;
    bool proven_ = false;  // M3's proof was right
    std::optional<PairedController> paired_;
};

}  // namespace orvel

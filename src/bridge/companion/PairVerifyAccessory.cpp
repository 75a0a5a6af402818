#include "bridge/companion/PairVerifyAccessory.hpp"

#include <algorithm>

#include "bridge/companion/PairingLabels.hpp"
#include "bridge/companion/PairingMessages.hpp"
#include "bridge/companion/Tlv8.hpp"

namespace orvel {

namespace {

namespace labels = PairingLabels;

using PairingMessages::kErrorAuthentication;
using PairingMessages::kErrorUnknown;
using PairingMessages::refusal;

crypto::Bytes verifyKey(const crypto::Bytes& shared) {
    return PairingMessages::derive(shared, labels::kVerifySalt, labels::kVerifyInfo);
}

}  // namespace

PairVerifyAccessory::PairVerifyAccessory(std::string tvId, crypto::Ed25519Keys tvKeys,
                                         std::vector<PairedController> controllers)
    : tvId_(std::move(tvId)),
      tvKeys_(std::move(tvKeys)),
      controllers_(std::move(controllers)),
      ephemeral_(crypto::x25519Generate()) {}

crypto::Bytes PairVerifyAccessory::onM1(crypto::ByteView m1) {
    auto items = Tlv8::decode(m1);
    const auto* clientEphemeral = items && Tlv8::readInteger(*items, Tlv8::state) == 1
                                      ? PairingMessages::findSized(*items, Tlv8::publicKey, 32)
                                      : nullptr;
    if (clientEphemeral == nullptr) return refusal(2, kErrorUnknown);
    auto shared = crypto::x25519Shared(ephemeral_.secret, *clientEphemeral);
    if (!shared) return refusal(2, kErrorUnknown);
    clientEphemeral_ = *clientEphemeral;
    shared_ = std::move(*shared);
    verified_.reset();

    const crypto::Bytes tvId = crypto::bytesOf(tvId_);
    const crypto::Bytes signature = crypto::ed25519Sign(
        tvKeys_.seed, PairingMessages::join({ephemeral_.publicKey, tvId, clientEphemeral_}));
    return Tlv8::encode(
        {{Tlv8::state, {0x02}},
         {Tlv8::publicKey, ephemeral_.publicKey},
         {Tlv8::encryptedData,
          PairingMessages::seal(verifyKey(shared_), labels::kM2Nonce,
                                {{Tlv8::identifier, tvId}, {Tlv8::signature, signature}})}});
}

crypto::Bytes PairVerifyAccessory::onM3(crypto::ByteView m3) {
    auto items = PairingMessages::readRequest(m3, 3);
    if (!items || shared_.empty()) {
        return refusal(4, kErrorUnknown);
    }
    auto inner = PairingMessages::open(verifyKey(shared_), labels::kM3Nonce, *items);
    if (!inner) return refusal(4, kErrorAuthentication);
    const auto* id = PairingMessages::findSized(*inner, Tlv8::identifier);
    const auto* signature = PairingMessages::findSized(*inner, Tlv8::signature, 64);
    if (id == nullptr || signature == nullptr) return refusal(4, kErrorUnknown);
    const std::string idText(id->begin(), id->end());
    const auto known = std::find_if(controllers_.begin(), controllers_.end(),
                                    [&](const PairedController& c) { return c.id == idText; });
    if (known == controllers_.end() ||
        !crypto::ed25519Verify(known->publicKey,
                               PairingMessages::join({clientEphemeral_, *id, ephemeral_.publicKey}),
                               *signature)) {
        return refusal(4, kErrorAuthentication);
    }
    verified_ = shared_;
    return Tlv8::encode({{Tlv8::state, {0x04}}});
}

}  // namespace orvel

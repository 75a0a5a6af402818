#include "bridge/companion/PairSetupAccessory.hpp"

#include "bridge/companion/PairingLabels.hpp"
#include "bridge/companion/PairingMessages.hpp"
#include "bridge/companion/Tlv8.hpp"

namespace orvel {

namespace {

namespace labels = PairingLabels;

using PairingMessages::kErrorAuthentication;
using PairingMessages::kErrorUnknown;
using PairingMessages::readRequest;
using PairingMessages::refusal;

}  // namespace

PairSetupAccessory::PairSetupAccessory(std::string pin, std::string tvId,
                                       crypto::Ed25519Keys tvKeys,
                                       std::optional<std::uint32_t> wrongCodeDelay)
    : pin_(std::move(pin)),
      tvId_(std::move(tvId)),
      tvKeys_(std::move(tvKeys)),
      wrongCodeDelay_(wrongCodeDelay) {}

crypto::Bytes PairSetupAccessory::onM1(crypto::ByteView m1) {
    auto items = readRequest(m1, 1);
    if (!items || Tlv8::readInteger(*items, Tlv8::method) != 0) return refusal(2, kErrorUnknown);
    crypto::Bytes salt = crypto::randomBytes(16);
    salt[0] |= 0x01;  // published variants hash the salt padded or not; they agree without a zero
    srp_.emplace(crypto::SrpGroup::rfc5054_3072Sha512(), labels::kUser, pin_, salt);
    proven_ = false;
    return Tlv8::encode({{Tlv8::state, {0x02}},
                         {Tlv8::salt, salt},
                         {Tlv8::publicKey, srp_->publicKey()},
                         {Tlv8::setupCodeType, {0x01}}});
}

crypto::Bytes PairSetupAccessory::onM3(crypto::ByteView m3) {
    auto items = readRequest(m3, 3);
    const auto* clientPublic =
        items ? PairingMessages::findSized(*items, Tlv8::publicKey) : nullptr;
    const auto* proof = items ? PairingMessages::findSized(*items, Tlv8::proof) : nullptr;
    if (!srp_ || clientPublic == nullptr || proof == nullptr) return refusal(4, kErrorUnknown);
    auto serverProof = srp_->verifyClient(*clientPublic, *proof);
    if (!serverProof) return refusal(4, kErrorAuthentication, wrongCodeDelay_);
    proven_ = true;
    return Tlv8::encode({{Tlv8::state, {0x04}}, {Tlv8::proof, *serverProof}});
}

crypto::Bytes PairSetupAccessory::onM5(crypto::ByteView m5) {
    auto items = readRequest(m5, 5);
    if (!items || !proven_) return refusal(6, kErrorUnknown);
    const crypto::Bytes sessionKey = srp_->sessionKey();
    const crypto::Bytes key =
        PairingMessages::derive(sessionKey, labels::kEncryptSalt, labels::kEncryptInfo);
    auto inner = PairingMessages::open(key, labels::kM5Nonce, *items);
    if (!inner) return refusal(6, kErrorAuthentication);
    const auto* id = PairingMessages::findSized(*inner, Tlv8::identifier);
    const auto* publicKey = PairingMessages::findSized(*inner, Tlv8::publicKey, 32);
    const auto* signature = PairingMessages::findSized(*inner, Tlv8::signature, 64);
    if (id == nullptr || publicKey == nullptr || signature == nullptr) {
        return refusal(6, kErrorUnknown);
    }
    const crypto::Bytes x = PairingMessages::derive(sessionKey, labels::kControllerSignSalt,
                                                    labels::kControllerSignInfo);
    if (!crypto::ed25519Verify(*publicKey, PairingMessages::join({x, *id, *publicKey}),
                               *signature)) {
        return refusal(6, kErrorAuthentication);
    }
    paired_ = PairedController{std::string(id->begin(), id->end()), *publicKey};

    const crypto::Bytes ourX =
        PairingMessages::derive(sessionKey, labels::kAccessorySignSalt, labels::kAccessorySignInfo);
    const crypto::Bytes tvId = crypto::bytesOf(tvId_);
    const crypto::Bytes ourSignature =
        crypto::ed25519Sign(tvKeys_.seed, PairingMessages::join({ourX, tvId, tvKeys_.publicKey}));
    return Tlv8::encode(
        {{Tlv8::state, {0x06}},
         {Tlv8::encryptedData, PairingMessages::seal(key, labels::kM6Nonce,
                                                     {{Tlv8::identifier, tvId},
                                                      {Tlv8::publicKey, tvKeys_.publicKey},
                                                      {Tlv8::signature, ourSignature}})}});
}

}  // namespace orvel

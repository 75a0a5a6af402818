#include "bridge/companion/PairSetupClient.hpp"

#include "bridge/companion/PairingLabels.hpp"
#include "bridge/companion/PairingMessages.hpp"
#include "core/RandomUuid.hpp"

namespace orvel {

namespace {

using Kind = PairingFailure::Kind;
namespace labels = PairingLabels;

}  // namespace

PairSetupClient::PairSetupClient(std::string pin, crypto::Bytes info)
    : PairSetupClient(std::move(pin), randomUuid(), crypto::ed25519Generate(), std::move(info)) {}

PairSetupClient::PairSetupClient(std::string pin, std::string ourId, crypto::Ed25519Keys ourKeys,
                                 crypto::Bytes info)
    : pin_(std::move(pin)),
      ourId_(std::move(ourId)),
      ourKeys_(std::move(ourKeys)),
      info_(std::move(info)) {}

crypto::Bytes PairSetupClient::m1() const {
    return Tlv8::encode({{Tlv8::method, {0x00}}, {Tlv8::state, {0x01}}});
}

PairingOutcome<crypto::Bytes> PairSetupClient::onM2(crypto::ByteView m2) {
    if (step_ != Step::m2) return Kind::malformed;
    auto items = PairingMessages::read(m2, 2, Kind::wrongCode);
    if (!items) return items.error();
    const auto* salt = PairingMessages::findSized(*items, Tlv8::salt);
    const auto* serverPublic = PairingMessages::findSized(*items, Tlv8::publicKey);
    if (salt == nullptr || serverPublic == nullptr) return Kind::malformed;
    srp_.emplace(crypto::SrpGroup::rfc5054_3072Sha512(), labels::kUser, pin_, *salt, *serverPublic);
    if (!srp_->valid()) return Kind::malformed;
    step_ = Step::m4;
    return Tlv8::encode({{Tlv8::state, {0x03}},
                         {Tlv8::publicKey, srp_->publicKey()},
                         {Tlv8::proof, srp_->proof()}});
}

PairingOutcome<crypto::Bytes> PairSetupClient::onM4(crypto::ByteView m4) {
    if (step_ != Step::m4) return Kind::malformed;
    auto items = PairingMessages::read(m4, 4, Kind::wrongCode);
    if (!items) return items.error();
    const auto* proof = PairingMessages::findSized(*items, Tlv8::proof);
    if (proof == nullptr) return Kind::malformed;
    if (!srp_->verifyServerProof(*proof)) return Kind::badSignature;

    const crypto::Bytes sessionKey = srp_->sessionKey();
    encryptKey_ = PairingMessages::derive(sessionKey, labels::kEncryptSalt, labels::kEncryptInfo);
    const crypto::Bytes x = PairingMessages::derive(sessionKey, labels::kControllerSignSalt,
                                                    labels::kControllerSignInfo);
    const crypto::Bytes id = crypto::bytesOf(ourId_);
    const crypto::Bytes signature =
        crypto::ed25519Sign(ourKeys_.seed, PairingMessages::join({x, id, ourKeys_.publicKey}));
    Tlv8::Items inner = {{Tlv8::identifier, id},
                         {Tlv8::publicKey, ourKeys_.publicKey},
                         {Tlv8::signature, signature}};
    if (!info_.empty()) inner.push_back({Tlv8::info, info_});
    step_ = Step::m6;
    return Tlv8::encode(
        {{Tlv8::state, {0x05}},
         {Tlv8::encryptedData, PairingMessages::seal(encryptKey_, labels::kM5Nonce, inner)}});
}

PairingOutcome<CompanionCredential> PairSetupClient::onM6(crypto::ByteView m6) {
    if (step_ != Step::m6) return Kind::malformed;
    auto items = PairingMessages::read(m6, 6, Kind::wrongCode);
    if (!items) return items.error();
    auto inner = PairingMessages::open(encryptKey_, labels::kM6Nonce, *items);
    if (!inner) return inner.error();
    const auto* tvId = PairingMessages::findSized(*inner, Tlv8::identifier);
    const auto* tvKey = PairingMessages::findSized(*inner, Tlv8::publicKey, 32);
    const auto* signature = PairingMessages::findSized(*inner, Tlv8::signature, 64);
    if (tvId == nullptr || tvKey == nullptr || signature == nullptr) return Kind::malformed;
    const crypto::Bytes x = PairingMessages::derive(srp_->sessionKey(), labels::kAccessorySignSalt,
                                                    labels::kAccessorySignInfo);
    if (!crypto::ed25519Verify(*tvKey, PairingMessages::join({x, *tvId, *tvKey}), *signature)) {
        return Kind::badSignature;
    }
    step_ = Step::done;
    return CompanionCredential{ourKeys_, ourId_, std::string(tvId->begin(), tvId->end()), *tvKey};
}

}  // namespace orvel

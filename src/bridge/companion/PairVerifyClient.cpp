#include "bridge/companion/PairVerifyClient.hpp"

#include "bridge/companion/PairingLabels.hpp"
#include "bridge/companion/PairingMessages.hpp"
#include "bridge/crypto/Ed25519.hpp"

namespace orvel {

namespace {

using Kind = PairingFailure::Kind;
namespace labels = PairingLabels;

}  // namespace

PairVerifyClient::PairVerifyClient(CompanionCredential credential)
    : credential_(std::move(credential)), ephemeral_(crypto::x25519Generate()) {}

crypto::Bytes PairVerifyClient::m1() const {
    return Tlv8::encode({{Tlv8::state, {0x01}}, {Tlv8::publicKey, ephemeral_.publicKey}});
}

PairingOutcome<crypto::Bytes> PairVerifyClient::onM2(crypto::ByteView m2) {
    if (step_ != Step::m2) return Kind::malformed;
    auto items = PairingMessages::read(m2, 2, Kind::notRecognised);
    if (!items) return items.error();
    const auto* tvEphemeral = PairingMessages::findSized(*items, Tlv8::publicKey, 32);
    if (tvEphemeral == nullptr) return Kind::malformed;
    auto shared = crypto::x25519Shared(ephemeral_.secret, *tvEphemeral);
    if (!shared) return Kind::malformed;
    const crypto::Bytes key =
        PairingMessages::derive(*shared, labels::kVerifySalt, labels::kVerifyInfo);
    auto inner = PairingMessages::open(key, labels::kM2Nonce, *items);
    if (!inner) return inner.error();
    const auto* tvId = PairingMessages::findSized(*inner, Tlv8::identifier);
    const auto* signature = PairingMessages::findSized(*inner, Tlv8::signature, 64);
    if (tvId == nullptr || signature == nullptr) return Kind::malformed;
    if (std::string(tvId->begin(), tvId->end()) != credential_.tvId) return Kind::otherTV;
    if (!crypto::ed25519Verify(credential_.tvPublicKey,
                               PairingMessages::join({*tvEphemeral, *tvId, ephemeral_.publicKey}),
                               *signature)) {
        return Kind::badSignature;
    }

    const crypto::Bytes ourId = crypto::bytesOf(credential_.ourId);
    const crypto::Bytes ourSignature =
        crypto::ed25519Sign(credential_.ourKeys.seed,
                            PairingMessages::join({ephemeral_.publicKey, ourId, *tvEphemeral}));
    shared_ = std::move(*shared);
    step_ = Step::m4;
    return Tlv8::encode(
        {{Tlv8::state, {0x03}},
         {Tlv8::encryptedData,
          PairingMessages::seal(key, labels::kM3Nonce,
                                {{Tlv8::identifier, ourId}, {Tlv8::signature, ourSignature}})}});
}

PairingOutcome<crypto::Bytes> PairVerifyClient::onM4(crypto::ByteView m4) {
    if (step_ != Step::m4) return Kind::malformed;
    auto items = PairingMessages::read(m4, 4, Kind::notRecognised);
    if (!items) return items.error();
    step_ = Step::done;
    return shared_;
}

}  // namespace orvel

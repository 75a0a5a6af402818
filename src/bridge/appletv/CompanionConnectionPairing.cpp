#include "bridge/appletv/CompanionConnection.hpp"

#include <utility>

#include "bridge/appletv/CompanionTexts.hpp"
#include "bridge/companion/CompanionCredential.hpp"
#include "bridge/companion/Opack.hpp"
#include "bridge/companion/Tlv8.hpp"
#include "bridge/crypto/Bytes.hpp"
#include "core/JoinText.hpp"

// CompanionConnection's pairing and verification: the exchanges before the session is sealed.

namespace orvel {

namespace {

OpackValue pairingMessage(const crypto::Bytes& pd, const char* key, int value) {
    return OpackValue::Dictionary{{"_pd", OpackValue::Data(pd)}, {key, value}};
}

}  // namespace

void CompanionConnection::sendAuth(FrameType type, const OpackValue& message, FrameType answer,
                                   std::function<void(crypto::ByteView pd)> handler) {
    auto frame = buildFrame(type, encodeOpack(message));
    if (!frame || !socket_)
        return later(
            [this] { authFailed(CompanionError{"A pairing message could not be sent."}); });
    awaited_ = answer;
    authHandler_ = std::move(handler);
    // this: authTimer_ cancels the call when we go.
    authTimer_ = loop_.postAfter(options_.replyTimeout, [this] {
        awaited_.reset();
        authHandler_ = nullptr;
        authFailed(CompanionError{"The Apple TV did not answer the pairing message in time."});
    });
    socket_->send(*frame);
}

void CompanionConnection::authFailed(const CompanionError& error) {
    setup_.reset();
    verify_.reset();
    setupM2_.reset();
    finishAuth(error);
}

void CompanionConnection::finishAuth(CompanionResult<std::string> result) {
    awaited_.reset();
    authHandler_ = nullptr;
    authTimer_.cancel();
    auto done = std::move(authDone_);
    authDone_ = nullptr;
    if (done) done(std::move(result));
}

void CompanionConnection::beginPairing(Done done) {
    std::string why = unavailable(false);
    if (why.empty() && (authDone_ || cipher_)) why = "The connection is already pairing or paired.";
    if (!why.empty()) return later([done, why] { done(CompanionError{why}); });
    authDone_ = [done = std::move(done)](const CompanionResult<std::string>& result) {
        if (result) return done(std::monostate{});
        done(result.error());
    };
    setupM2_.reset();
    // M1 says nothing of the PIN; the attempt that uses it starts in finishPairing.
    const PairSetupClient opening("0000");
    sendAuth(FrameType::PS_Start, pairingMessage(opening.m1(), "_pwTy", 1), FrameType::PS_Next,
             [this](crypto::ByteView pd) {
                 auto items = Tlv8::decode(pd);
                 if (!items) return authFailed(pairingError(PairingFailure{}));
                 if (auto failure = PairingFailure::fromItems(*items))
                     return authFailed(pairingError(*failure));
                 setupM2_ = crypto::Bytes(pd.begin(), pd.end());
                 finishAuth(std::string());
             });
}

void CompanionConnection::finishPairing(const std::string& pin, CredentialDone done) {
    std::string why = unavailable(false);
    if (why.empty() && (authDone_ || !setupM2_)) why = "Pairing has not been started.";
    if (!why.empty()) return later([done, why] { done(CompanionError{why}); });
    authDone_ = std::move(done);
    setup_.emplace(pin, encodeOpack(OpackValue::Dictionary{{"name", identity_.name}}));
    auto m3 = setup_->onM2(*setupM2_);
    setupM2_.reset();
    if (!m3) return later([this, failure = m3.error()] { authFailed(pairingError(failure)); });
    sendAuth(FrameType::PS_Next, pairingMessage(*m3, "_pwTy", 1), FrameType::PS_Next,
             [this](crypto::ByteView m4) {
                 auto m5 = setup_->onM4(m4);
                 if (!m5) return authFailed(pairingError(m5.error()));
                 sendAuth(FrameType::PS_Next, pairingMessage(*m5, "_pwTy", 1), FrameType::PS_Next,
                          [this](crypto::ByteView m6) {
                              auto credential = setup_->onM6(m6);
                              if (!credential) return authFailed(pairingError(credential.error()));
                              setup_.reset();
                              finishAuth(credential->text());
                          });
             });
}

void CompanionConnection::verify(const std::string& credential, Done done) {
    std::string why = unavailable(false);
    if (why.empty() && (authDone_ || cipher_)) why = "The connection is already pairing or paired.";
    auto parsed = CompanionCredential::parse(credential);
    if (why.empty() && !parsed)
        why = joinText({"The stored pairing cannot be used: ", parsed.error()});
    if (!why.empty()) return later([done, why] { done(CompanionError{why}); });
    authDone_ = [done = std::move(done)](const CompanionResult<std::string>& result) {
        if (result) return done(std::monostate{});
        done(result.error());
    };
    pairingId_ = parsed->ourId;
    verify_.emplace(*parsed);
    sendAuth(FrameType::PV_Start, pairingMessage(verify_->m1(), "_auTy", 4), FrameType::PV_Next,
             [this](crypto::ByteView m2) {
                 auto m3 = verify_->onM2(m2);
                 if (!m3) return authFailed(pairingError(m3.error()));
                 sendAuth(
                     FrameType::PV_Next, OpackValue::Dictionary{{"_pd", OpackValue::Data(*m3)}},
                     FrameType::PV_Next, [this](crypto::ByteView m4) {
                         auto shared = verify_->onM4(m4);
                         if (!shared) return authFailed(pairingError(shared.error()));
                         verify_.reset();
                         cipher_ =
                             std::make_unique<SessionCipher>(*shared, SessionCipher::Role::client);
                         startSession();
                     });
             });
}

}  // namespace orvel

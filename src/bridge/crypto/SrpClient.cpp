#include <openssl/crypto.h>

#include <algorithm>

#include "bridge/crypto/Srp6a.hpp"
#include "bridge/crypto/SrpMath.hpp"

namespace orvel::crypto {
namespace {

constexpr std::size_t kSrpPrivateKeySize = 32;

bool allZero(ByteView bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) { return byte == 0; });
}

}  // namespace

SrpClient::SrpClient(const SrpGroup& group, std::string_view username, std::string_view password,
                     ByteView salt, ByteView serverPublic, ByteView privateKey) {
    if (serverPublic.empty() || serverPublic.size() > group.prime.size() ||
        detail::srpIsZeroModPrime(group, serverPublic)) {
        return;
    }
    Bytes secret(privateKey.begin(), privateKey.end());
    if (privateKey.empty()) {
        do {
            secret = randomBytes(kSrpPrivateKeySize);
            publicKey_ = detail::srpPower(group, secret);
        } while (!publicKey_.empty() && publicKey_[0] == 0);
    } else {
        publicKey_ = detail::srpPower(group, secret);
    }
    const Bytes u = detail::srpScrambler(group, publicKey_, serverPublic);
    std::optional<Bytes> premaster;
    if (!publicKey_.empty() && !allZero(u)) {
        const Bytes x = detail::srpPasswordKey(group, username, password, salt);
        premaster = detail::srpClientPremaster(group, secret, serverPublic, x, u);
    }
    OPENSSL_cleanse(secret.data(), secret.size());
    if (!premaster) {
        publicKey_.clear();
        return;
    }
    sessionKey_ = detail::srpHash(group.hash, {*premaster});
    proof_ = detail::srpClientProof(group, username, salt, publicKey_, serverPublic, sessionKey_);
    serverProof_ = detail::srpServerProof(group, publicKey_, proof_, sessionKey_);
    valid_ = !sessionKey_.empty() && !proof_.empty() && !serverProof_.empty();
}

bool SrpClient::verifyServerProof(ByteView m2) const {
    return valid_ && m2.size() == serverProof_.size() &&
           CRYPTO_memcmp(m2.data(), serverProof_.data(), m2.size()) == 0;
}

}  // namespace orvel::crypto

#include <openssl/crypto.h>

#include <algorithm>

#include "bridge/crypto/Srp6a.hpp"
#include "bridge/crypto/SrpMath.hpp"

namespace orvel::crypto {
namespace {

constexpr std::size_t kSrpServerKeySize = 32;

}  // namespace

SrpServer::SrpServer(const SrpGroup& group, std::string_view username, std::string_view password,
                     ByteView salt, ByteView privateKey)
    : group_(group),
      username_(username),
      salt_(salt.begin(), salt.end()),
      privateKey_(privateKey.empty() ? randomBytes(kSrpServerKeySize)
                                     : Bytes(privateKey.begin(), privateKey.end())),
      verifier_(detail::srpPower(group, detail::srpPasswordKey(group, username, password, salt))) {
    publicKey_ = detail::srpServerPublic(group, privateKey_, verifier_);
}

std::optional<Bytes> SrpServer::verifyClient(ByteView clientPublic, ByteView clientProof) {
    if (publicKey_.empty() || clientPublic.empty() || clientPublic.size() > group_.prime.size()) {
        return std::nullopt;
    }
    const Bytes u = detail::srpScrambler(group_, clientPublic, publicKey_);
    if (std::all_of(u.begin(), u.end(), [](std::uint8_t byte) { return byte == 0; })) {
        return std::nullopt;
    }
    const auto premaster =
        detail::srpServerPremaster(group_, privateKey_, clientPublic, verifier_, u);
    if (!premaster) return std::nullopt;
    const Bytes key = detail::srpHash(group_.hash, {*premaster});
    const Bytes expected =
        detail::srpClientProof(group_, username_, salt_, clientPublic, publicKey_, key);
    if (key.empty() || expected.empty() || clientProof.size() != expected.size() ||
        CRYPTO_memcmp(clientProof.data(), expected.data(), expected.size()) != 0) {
        return std::nullopt;
    }
    sessionKey_ = key;
    return detail::srpServerProof(group_, clientPublic, clientProof, sessionKey_);
}

}  // namespace orvel::crypto

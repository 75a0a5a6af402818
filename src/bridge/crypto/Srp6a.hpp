#pragma once
// Srp6a: the password-authenticated key exchange of pair-setup (SRP-6a as HAP does it: RFC 5054
// groups, k = H(N | PAD(g)), K = H(S), M1 = H(H(N) ^ H(g) | H(I) | s | A | B | K),
// M2 = H(A | M1 | K)). One object is one exchange; plain values, one thread at a time.
//
//   SrpClient client(SrpGroup::rfc5054_3072Sha512(), "Pair-Setup", "0042", salt, serverB);
//   if (!client.valid()) refuse();                  // send client.publicKey(), client.proof()
//   if (!client.verifyServerProof(m2)) refuse();    // then derive keys from client.sessionKey()
//
// SrpServer is the accessory's side, for our fake Apple TV and the tests.

#include <optional>
#include <string>
#include <string_view>

#include "bridge/crypto/Bytes.hpp"

namespace orvel::crypto {

enum class SrpHash { sha1, sha512 };

struct SrpGroup {
    Bytes prime;      // N, big-endian
    Bytes generator;  // g, big-endian without leading zeros
    SrpHash hash;

    // RFC 5054 Appendix A: the group of its test vectors, and pairing's (g = 5, SHA-512).
    static const SrpGroup& rfc5054_1024Sha1();
    static const SrpGroup& rfc5054_3072Sha512();
};

class SrpClient {
public:
    // privateKey is `a`; empty draws 32 random bytes, again until A's first byte is not zero
    // (where the published variants pad A differently, that makes them agree).
    SrpClient(const SrpGroup& group, std::string_view username, std::string_view password,
              ByteView salt, ByteView serverPublic, ByteView privateKey = {});

    // False when B is empty, longer than N or a multiple of N (the exchange must stop).
    bool valid() const { return valid_; }
    const Bytes& publicKey() const { return publicKey_; }    // A, padded to the prime's size
    const Bytes& proof() const { return proof_; }            // M1
    const Bytes& sessionKey() const { return sessionKey_; }  // K
    bool verifyServerProof(ByteView m2) const;

private:
    Bytes publicKey_, proof_, sessionKey_, serverProof_;
    bool valid_ = false;
};

class SrpServer {
public:
    // privateKey is `b`; empty draws 32 random bytes.
    SrpServer(const SrpGroup& group, std::string_view username, std::string_view password,
              ByteView salt, ByteView privateKey = {});

    const Bytes& publicKey() const { return publicKey_; }  // B, padded
    const Bytes& verifier() const { return verifier_; }    // v, padded
    // M2 when the client's M1 proves the password; nothing otherwise (also for a bad A).
    std::optional<Bytes> verifyClient(ByteView clientPublic, ByteView clientProof);
    // K, once verifyClient succeeded; empty before.
    const Bytes& sessionKey() const { return sessionKey_; }

private:
    SrpGroup group_;
    std::string username_;
    Bytes salt_, privateKey_, publicKey_, verifier_, sessionKey_;
};

}  // namespace orvel::crypto

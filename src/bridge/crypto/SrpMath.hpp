#pragma once
// SrpMath: the SRP-6a formulas that SrpClient and SrpServer are made of, apart so that the
// tests can check each value against the published vectors. Pure functions, any thread.
// Byte inputs are big-endian and may carry leading zeros; results are padded to the prime's
// size where the name says so.

#include <initializer_list>
#include <optional>
#include <string_view>

#include "bridge/crypto/Srp6a.hpp"

namespace orvel::crypto::detail {

// H over the pieces in order.
Bytes srpHash(SrpHash hash, std::initializer_list<ByteView> pieces);
// PAD(value): left-filled with zeros to the prime's size.
Bytes srpPadded(const SrpGroup& group, ByteView value);
// k = H(N | PAD(g))
Bytes srpMultiplier(const SrpGroup& group);
// x = H(salt | H(I | ":" | P))
Bytes srpPasswordKey(const SrpGroup& group, std::string_view username, std::string_view password,
                     ByteView salt);
// u = H(PAD(A) | PAD(B))
Bytes srpScrambler(const SrpGroup& group, ByteView clientPublic, ByteView serverPublic);
// g^exponent mod N, padded: A from a, v from x. Empty when OpenSSL fails.
Bytes srpPower(const SrpGroup& group, ByteView exponent);
// B = (k*v + g^b) mod N, padded.
Bytes srpServerPublic(const SrpGroup& group, ByteView privateKey, ByteView verifier);
// True when the value is 0 mod N (a public key no honest side sends) or cannot be read.
bool srpIsZeroModPrime(const SrpGroup& group, ByteView value);
// S = (B - k*g^x)^(a + u*x) mod N, without leading zeros.
std::optional<Bytes> srpClientPremaster(const SrpGroup& group, ByteView privateKey,
                                        ByteView serverPublic, ByteView x, ByteView u);
// S = (A * v^u)^b mod N, without leading zeros.
std::optional<Bytes> srpServerPremaster(const SrpGroup& group, ByteView privateKey,
                                        ByteView clientPublic, ByteView verifier, ByteView u);
// M1 = H(H(N) ^ H(g) | H(I) | salt | A | B | K), A and B without leading zeros.
Bytes srpClientProof(const SrpGroup& group, std::string_view username, ByteView salt,
                     ByteView clientPublic, ByteView serverPublic, ByteView sessionKey);
// M2 = H(PAD(A) | M1 | K)
Bytes srpServerProof(const SrpGroup& group, ByteView clientPublic, ByteView clientProof,
                     ByteView sessionKey);

}  // namespace orvel::crypto::detail

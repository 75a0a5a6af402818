#include <openssl/bn.h>

#include "bridge/crypto/OpenSslOwners.hpp"
#include "bridge/crypto/Srp6a.hpp"

namespace orvel::crypto {
namespace {

// RFC 5054 Appendix A, 1024-bit group. The 3072-bit one is RFC 3526's, which OpenSSL carries.
constexpr const char* kRfc5054Prime1024 =
    "EEAF0AB9ADB38DD69C33F80AFA8FC5E86072618775FF3C0B9EA2314C9C256576D674DF7496EA81D3383B4813"
    "D692C6E0E0D5D8E250B98BE48E495C1D6089DAD15DC7D7B46154D6B6CE8EF4AD69B15D4982559B297BCF1885"
    "C529F566660E57EC68EDBC3C05726CC02FD4CBF4976EAA9AFD5138FE8376435B9FC61D2FC0EB06E3";

Bytes groupPrimeBytes(const detail::BnOwner& prime) {
    if (!prime) return {};
    Bytes bytes(static_cast<std::size_t>(BN_num_bytes(prime.get())));
    BN_bn2bin(prime.get(), bytes.data());
    return bytes;
}

Bytes primeFromHex(const char* text) {
    BIGNUM* prime = nullptr;
    if (BN_hex2bn(&prime, text) == 0) return {};
    return groupPrimeBytes(detail::BnOwner(prime));
}

}  // namespace

const SrpGroup& SrpGroup::rfc5054_1024Sha1() {
    static const SrpGroup group{primeFromHex(kRfc5054Prime1024), Bytes{2}, SrpHash::sha1};
    return group;
}

const SrpGroup& SrpGroup::rfc5054_3072Sha512() {
    static const SrpGroup group{
        groupPrimeBytes(detail::BnOwner(BN_get_rfc3526_prime_3072(nullptr))), Bytes{5},
        SrpHash::sha512};
    return group;
}

}  // namespace orvel::crypto

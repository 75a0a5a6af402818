#include "bridge/crypto/SrpMath.hpp"

#include <openssl/bn.h>
#include <openssl/evp.h>

#include <algorithm>

#include "bridge/crypto/OpenSslOwners.hpp"

namespace orvel::crypto::detail {
namespace {

ByteView withoutLeadingZeros(ByteView value) {
    const auto first = std::find_if(value.begin(), value.end(), [](auto byte) { return byte; });
    return value.subspan(static_cast<std::size_t>(first - value.begin()));
}

// Arithmetic modulo the group's prime. Every operation takes and gives owners, and a null
// operand (an earlier failure) gives null, so a formula reads as one expression.
class ModPrime {
public:
    explicit ModPrime(const SrpGroup& group)
        : ctx_(BN_CTX_new()), prime_(number(group.prime)), width_(group.prime.size()) {}

    static BnOwner number(ByteView bytes) {
        if (bytes.size() > INT32_MAX) return nullptr;
        return BnOwner(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
    }

    // Constant time: every exponent here is secret (a, b, x or made of them).
    BnOwner power(const BnOwner& base, const BnOwner& exponent) {
        BnOwner result(ready(base, exponent) ? BN_new() : nullptr);
        if (!result || BN_mod_exp_mont_consttime(result.get(), base.get(), exponent.get(),
                                                 prime_.get(), ctx_.get(), nullptr) != 1) {
            return nullptr;
        }
        return result;
    }
    BnOwner times(const BnOwner& a, const BnOwner& b) {
        return apply(a, b, [this](BIGNUM* r, const BIGNUM* x, const BIGNUM* y) {
            return BN_mod_mul(r, x, y, prime_.get(), ctx_.get());
        });
    }
    BnOwner plus(const BnOwner& a, const BnOwner& b) {
        return apply(a, b, [this](BIGNUM* r, const BIGNUM* x, const BIGNUM* y) {
            return BN_mod_add(r, x, y, prime_.get(), ctx_.get());
        });
    }
    BnOwner minus(const BnOwner& a, const BnOwner& b) {
        return apply(a, b, [this](BIGNUM* r, const BIGNUM* x, const BIGNUM* y) {
            return BN_mod_sub(r, x, y, prime_.get(), ctx_.get());
        });
    }
    // a + b*c, not reduced: an exponent.
    BnOwner sumOfProduct(const BnOwner& a, const BnOwner& b, const BnOwner& c) {
        BnOwner product = apply(b, c, [this](BIGNUM* r, const BIGNUM* x, const BIGNUM* y) {
            return BN_mul(r, x, y, ctx_.get());
        });
        return apply(a, product,
                     [](BIGNUM* r, const BIGNUM* x, const BIGNUM* y) { return BN_add(r, x, y); });
    }
    // True also when the value cannot be read: either way it must be refused.
    bool isZeroMod(const BnOwner& value) {
        BnOwner remainder(ready(value, value) ? BN_new() : nullptr);
        return !remainder ||
               BN_nnmod(remainder.get(), value.get(), prime_.get(), ctx_.get()) != 1 ||
               BN_is_zero(remainder.get());
    }

    Bytes padded(const BnOwner& value) const {
        Bytes bytes(width_);
        if (!value || BN_bn2binpad(value.get(), bytes.data(), static_cast<int>(width_)) < 0) {
            return {};
        }
        return bytes;
    }
    static Bytes minimal(const BnOwner& value) {
        if (!value) return {};
        Bytes bytes(static_cast<std::size_t>(BN_num_bytes(value.get())));
        BN_bn2bin(value.get(), bytes.data());
        return bytes;
    }

private:
    bool ready(const BnOwner& a, const BnOwner& b) const { return ctx_ && prime_ && a && b; }

    template <typename Operation>
    BnOwner apply(const BnOwner& a, const BnOwner& b, Operation operation) {
        BnOwner result(ready(a, b) ? BN_new() : nullptr);
        if (!result || operation(result.get(), a.get(), b.get()) != 1) return nullptr;
        return result;
    }

    BnCtxOwner ctx_;
    BnOwner prime_;
    std::size_t width_;
};

}  // namespace

Bytes srpHash(SrpHash hash, std::initializer_list<ByteView> pieces) {
    const EVP_MD* md = hash == SrpHash::sha1 ? EVP_sha1() : EVP_sha512();
    const MdCtxOwner ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1) return {};
    for (const ByteView piece : pieces) {
        if (EVP_DigestUpdate(ctx.get(), piece.data(), piece.size()) != 1) return {};
    }
    Bytes digest(static_cast<std::size_t>(EVP_MD_get_size(md)));
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &size) != 1) return {};
    digest.resize(size);
    return digest;
}

Bytes srpPadded(const SrpGroup& group, ByteView value) {
    value = withoutLeadingZeros(value);
    Bytes bytes(group.prime.size() > value.size() ? group.prime.size() - value.size() : 0, 0);
    bytes.insert(bytes.end(), value.begin(), value.end());
    return bytes;
}

Bytes srpMultiplier(const SrpGroup& group) {
    return srpHash(group.hash, {group.prime, srpPadded(group, group.generator)});
}

Bytes srpPasswordKey(const SrpGroup& group, std::string_view username, std::string_view password,
                     ByteView salt) {
    Bytes identity = bytesOf(username);
    identity.push_back(':');
    identity.insert(identity.end(), password.begin(), password.end());
    return srpHash(group.hash, {salt, srpHash(group.hash, {identity})});
}

Bytes srpScrambler(const SrpGroup& group, ByteView clientPublic, ByteView serverPublic) {
    return srpHash(group.hash, {srpPadded(group, clientPublic), srpPadded(group, serverPublic)});
}

Bytes srpPower(const SrpGroup& group, ByteView exponent) {
    ModPrime mod(group);
    return mod.padded(mod.power(ModPrime::number(group.generator), ModPrime::number(exponent)));
}

Bytes srpServerPublic(const SrpGroup& group, ByteView privateKey, ByteView verifier) {
    ModPrime mod(group);
    const BnOwner k = ModPrime::number(srpMultiplier(group));
    return mod.padded(
        mod.plus(mod.times(k, ModPrime::number(verifier)),
                 mod.power(ModPrime::number(group.generator), ModPrime::number(privateKey))));
}

bool srpIsZeroModPrime(const SrpGroup& group, ByteView value) {
    return ModPrime(group).isZeroMod(ModPrime::number(value));
}

std::optional<Bytes> srpClientPremaster(const SrpGroup& group, ByteView privateKey,
                                        ByteView serverPublic, ByteView x, ByteView u) {
    ModPrime mod(group);
    const BnOwner b = ModPrime::number(serverPublic), xn = ModPrime::number(x);
    if (mod.isZeroMod(b)) return std::nullopt;
    const BnOwner k = ModPrime::number(srpMultiplier(group));
    const BnOwner g = ModPrime::number(group.generator);
    const BnOwner base = mod.minus(b, mod.times(k, mod.power(g, xn)));
    const BnOwner exponent =
        mod.sumOfProduct(ModPrime::number(privateKey), ModPrime::number(u), xn);
    const BnOwner premaster = mod.power(base, exponent);
    if (!premaster) return std::nullopt;
    return ModPrime::minimal(premaster);
}

std::optional<Bytes> srpServerPremaster(const SrpGroup& group, ByteView privateKey,
                                        ByteView clientPublic, ByteView verifier, ByteView u) {
    ModPrime mod(group);
    const BnOwner a = ModPrime::number(clientPublic);
    if (mod.isZeroMod(a)) return std::nullopt;
    const BnOwner base = mod.times(a, mod.power(ModPrime::number(verifier), ModPrime::number(u)));
    const BnOwner premaster = mod.power(base, ModPrime::number(privateKey));
    if (!premaster) return std::nullopt;
    return ModPrime::minimal(premaster);
}

Bytes srpClientProof(const SrpGroup& group, std::string_view username, ByteView salt,
                     ByteView clientPublic, ByteView serverPublic, ByteView sessionKey) {
    Bytes groupHash = srpHash(group.hash, {group.prime});
    const Bytes generatorHash = srpHash(group.hash, {withoutLeadingZeros(group.generator)});
    for (std::size_t i = 0; i < groupHash.size() && i < generatorHash.size(); ++i) {
        groupHash[i] ^= generatorHash[i];
    }
    return srpHash(group.hash, {groupHash, srpHash(group.hash, {bytesOf(username)}), salt,
                                withoutLeadingZeros(clientPublic),
                                withoutLeadingZeros(serverPublic), sessionKey});
}

Bytes srpServerProof(const SrpGroup& group, ByteView clientPublic, ByteView clientProof,
                     ByteView sessionKey) {
    return srpHash(group.hash, {srpPadded(group, clientPublic), clientProof, sessionKey});
}

}  // namespace orvel::crypto::detail

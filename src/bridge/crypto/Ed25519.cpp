#include "bridge/crypto/Ed25519.hpp"

#include <openssl/evp.h>

#include "bridge/crypto/OpenSslOwners.hpp"

namespace orvel::crypto {
namespace {

detail::PkeyOwner ed25519Secret(ByteView seed) {
    if (seed.size() != kEd25519KeySize) return nullptr;
    return detail::PkeyOwner(
        EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed.data(), seed.size()));
}

}  // namespace

Ed25519Keys ed25519Generate() {
    auto keys = ed25519FromSeed(randomBytes(kEd25519KeySize));
    return keys ? std::move(*keys) : Ed25519Keys{};
}

std::optional<Ed25519Keys> ed25519FromSeed(ByteView seed) {
    const auto key = ed25519Secret(seed);
    if (!key) return std::nullopt;
    Bytes publicKey(kEd25519KeySize);
    std::size_t size = publicKey.size();
    if (EVP_PKEY_get_raw_public_key(key.get(), publicKey.data(), &size) != 1 ||
        size != kEd25519KeySize) {
        return std::nullopt;
    }
    return Ed25519Keys{Bytes(seed.begin(), seed.end()), std::move(publicKey)};
}

Bytes ed25519Sign(ByteView seed, ByteView message) {
    const auto key = ed25519Secret(seed);
    const detail::MdCtxOwner ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return {};
    }
    Bytes signature(kEd25519SignatureSize);
    std::size_t size = signature.size();
    if (EVP_DigestSign(ctx.get(), signature.data(), &size, message.data(), message.size()) != 1 ||
        size != kEd25519SignatureSize) {
        return {};
    }
    return signature;
}

bool ed25519Verify(ByteView publicKey, ByteView message, ByteView signature) {
    if (publicKey.size() != kEd25519KeySize || signature.size() != kEd25519SignatureSize) {
        return false;
    }
    const detail::PkeyOwner key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, publicKey.data(), publicKey.size()));
    const detail::MdCtxOwner ctx(EVP_MD_CTX_new());
    return key && ctx &&
           EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(ctx.get(), signature.data(), signature.size(), message.data(),
                            message.size()) == 1;
}

}  // namespace orvel::crypto

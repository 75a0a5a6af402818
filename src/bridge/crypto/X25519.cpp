#include "bridge/crypto/X25519.hpp"

#include <openssl/evp.h>

#include <algorithm>

#include "bridge/crypto/OpenSslOwners.hpp"

namespace orvel::crypto {
namespace {

detail::PkeyOwner x25519Secret(ByteView secret) {
    if (secret.size() != kX25519KeySize) return nullptr;
    return detail::PkeyOwner(
        EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, secret.data(), secret.size()));
}

}  // namespace

X25519Keys x25519Generate() {
    auto keys = x25519FromSecret(randomBytes(kX25519KeySize));
    return keys ? std::move(*keys) : X25519Keys{};
}

std::optional<X25519Keys> x25519FromSecret(ByteView secret) {
    const auto key = x25519Secret(secret);
    if (!key) return std::nullopt;
    Bytes publicKey(kX25519KeySize);
    std::size_t size = publicKey.size();
    if (EVP_PKEY_get_raw_public_key(key.get(), publicKey.data(), &size) != 1 ||
        size != kX25519KeySize) {
        return std::nullopt;
    }
    return X25519Keys{Bytes(secret.begin(), secret.end()), std::move(publicKey)};
}

std::optional<Bytes> x25519Shared(ByteView secret, ByteView peerPublic) {
    if (peerPublic.size() != kX25519KeySize) return std::nullopt;
    const auto key = x25519Secret(secret);
    const detail::PkeyOwner peer(EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr,
                                                             peerPublic.data(), peerPublic.size()));
    if (!key || !peer) return std::nullopt;
    const detail::PkeyCtxOwner ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
    if (!ctx || EVP_PKEY_derive_init(ctx.get()) != 1 ||
        EVP_PKEY_derive_set_peer(ctx.get(), peer.get()) != 1) {
        return std::nullopt;
    }
    Bytes shared(kX25519KeySize);
    std::size_t size = shared.size();
    if (EVP_PKEY_derive(ctx.get(), shared.data(), &size) != 1 || size != kX25519KeySize) {
        return std::nullopt;
    }
    // A small-order peer key forces this result whatever our secret; it proves nothing.
    if (std::all_of(shared.begin(), shared.end(), [](std::uint8_t byte) { return byte == 0; })) {
        return std::nullopt;
    }
    return shared;
}

}  // namespace orvel::crypto

#include "bridge/crypto/ChaCha20Poly1305.hpp"

#include <openssl/evp.h>

#include <climits>

#include "bridge/crypto/OpenSslOwners.hpp"

namespace orvel::crypto {
namespace {

bool usable(ByteView key, ByteView nonce, std::size_t textSize, std::size_t aadSize) {
    return key.size() == kChaChaKeySize && nonce.size() == kChaChaNonceSize &&
           textSize <= INT_MAX && aadSize <= INT_MAX;
}

}  // namespace

Bytes seal(ByteView key, ByteView nonce, ByteView aad, ByteView plaintext) {
    if (!usable(key, nonce, plaintext.size(), aad.size())) return {};
    const detail::CipherCtxOwner ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_EncryptInit_ex2(ctx.get(), EVP_chacha20_poly1305(), key.data(), nonce.data(),
                                    nullptr) != 1) {
        return {};
    }
    int written = 0;
    if (!aad.empty() && EVP_EncryptUpdate(ctx.get(), nullptr, &written, aad.data(),
                                          static_cast<int>(aad.size())) != 1) {
        return {};
    }
    Bytes sealed(plaintext.size() + kPolyTagSize);
    int size = 0;
    if (!plaintext.empty() && EVP_EncryptUpdate(ctx.get(), sealed.data(), &size, plaintext.data(),
                                                static_cast<int>(plaintext.size())) != 1) {
        return {};
    }
    if (EVP_EncryptFinal_ex(ctx.get(), sealed.data() + size, &written) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_GET_TAG, static_cast<int>(kPolyTagSize),
                            sealed.data() + plaintext.size()) != 1) {
        return {};
    }
    return sealed;
}

std::optional<Bytes> open(ByteView key, ByteView nonce, ByteView aad, ByteView sealed) {
    if (sealed.size() < kPolyTagSize || !usable(key, nonce, sealed.size(), aad.size())) {
        return std::nullopt;
    }
    const ByteView ciphertext = sealed.first(sealed.size() - kPolyTagSize);
    Bytes tag(sealed.end() - kPolyTagSize, sealed.end());
    const detail::CipherCtxOwner ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_DecryptInit_ex2(ctx.get(), EVP_chacha20_poly1305(), key.data(), nonce.data(),
                                    nullptr) != 1) {
        return std::nullopt;
    }
    int written = 0;
    if (!aad.empty() && EVP_DecryptUpdate(ctx.get(), nullptr, &written, aad.data(),
                                          static_cast<int>(aad.size())) != 1) {
        return std::nullopt;
    }
    Bytes plaintext(ciphertext.size());
    int size = 0;
    if (!ciphertext.empty() &&
        EVP_DecryptUpdate(ctx.get(), plaintext.data(), &size, ciphertext.data(),
                          static_cast<int>(ciphertext.size())) != 1) {
        return std::nullopt;
    }
    if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_SET_TAG, static_cast<int>(kPolyTagSize),
                            tag.data()) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), plaintext.data() + size, &written) != 1) {
        return std::nullopt;
    }
    return plaintext;
}

}  // namespace orvel::crypto

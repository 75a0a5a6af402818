#include "bridge/crypto/Hkdf.hpp"

#include <openssl/core_names.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <array>

#include "bridge/crypto/OpenSslOwners.hpp"

namespace orvel::crypto {
namespace {

constexpr std::size_t kSha512Size = 64;

// OpenSSL's parameter API takes non-const pointers for input it only reads.
void* readOnly(ByteView bytes) {
    return const_cast<std::uint8_t*>(
        bytes.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
}

}  // namespace

Bytes hkdfSha512(ByteView key, ByteView salt, ByteView info, std::size_t length) {
    if (length == 0 || length > 255 * kSha512Size) return {};
    const detail::KdfOwner kdf(EVP_KDF_fetch(nullptr, OSSL_KDF_NAME_HKDF, nullptr));
    if (!kdf) return {};
    const detail::KdfCtxOwner ctx(EVP_KDF_CTX_new(kdf.get()));
    if (!ctx) return {};

    static const std::array<std::uint8_t, kSha512Size> zeroSalt{};
    const ByteView usedSalt = salt.empty() ? ByteView(zeroSalt) : salt;
    char digest[] = "SHA512";
    std::array<OSSL_PARAM, 5> params{};
    std::size_t next = 0;
    params[next++] = OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0);
    params[next++] =
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, readOnly(key), key.size());
    params[next++] =
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, readOnly(usedSalt), usedSalt.size());
    if (!info.empty()) {
        params[next++] =
            OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, readOnly(info), info.size());
    }
    params[next] = OSSL_PARAM_construct_end();

    Bytes out(length);
    if (EVP_KDF_derive(ctx.get(), out.data(), out.size(), params.data()) != 1) return {};
    return out;
}

}  // namespace orvel::crypto

#pragma once
// Owners of the OpenSSL objects bridge/crypto uses, so that every early return frees them.
// Internal to this folder.

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>

#include <memory>

namespace orvel::crypto::detail {

template <typename T, void (*release)(T*)>
struct OpenSslFree {
    void operator()(T* object) const { release(object); }
};

using PkeyOwner = std::unique_ptr<EVP_PKEY, OpenSslFree<EVP_PKEY, EVP_PKEY_free>>;
using PkeyCtxOwner = std::unique_ptr<EVP_PKEY_CTX, OpenSslFree<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using MdCtxOwner = std::unique_ptr<EVP_MD_CTX, OpenSslFree<EVP_MD_CTX, EVP_MD_CTX_free>>;
using CipherCtxOwner =
    std::unique_ptr<EVP_CIPHER_CTX, OpenSslFree<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>>;
using KdfOwner = std::unique_ptr<EVP_KDF, OpenSslFree<EVP_KDF, EVP_KDF_free>>;
using KdfCtxOwner = std::unique_ptr<EVP_KDF_CTX, OpenSslFree<EVP_KDF_CTX, EVP_KDF_CTX_free>>;
// Cleared on release: these hold secret exponents as often as public values.
using BnOwner = std::unique_ptr<BIGNUM, OpenSslFree<BIGNUM, BN_clear_free>>;
using BnCtxOwner = std::unique_ptr<BN_CTX, OpenSslFree<BN_CTX, BN_CTX_free>>;

}  // namespace orvel::crypto::detail

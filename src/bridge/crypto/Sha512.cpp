#include "bridge/crypto/Sha512.hpp"

#include <openssl/evp.h>

namespace orvel::crypto {
namespace {

Bytes oneShotDigest(const EVP_MD* md, ByteView data) {
    Bytes out(static_cast<std::size_t>(EVP_MD_get_size(md)));
    unsigned int size = 0;
    if (EVP_Digest(data.data(), data.size(), out.data(), &size, md, nullptr) != 1) return {};
    out.resize(size);
    return out;
}

}  // namespace

Bytes sha512(ByteView data) {
    return oneShotDigest(EVP_sha512(), data);
}
Bytes sha1(ByteView data) {
    return oneShotDigest(EVP_sha1(), data);
}

}  // namespace orvel::crypto

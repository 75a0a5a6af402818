#include "bridge/companion/SessionCipher.hpp"

#include "bridge/crypto/ChaCha20Poly1305.hpp"
#include "bridge/crypto/Hkdf.hpp"

namespace orvel {

namespace {

constexpr std::string_view kClientInfo = "ClientEncrypt-main";
constexpr std::string_view kServerInfo = "ServerEncrypt-main";

crypto::Bytes key(crypto::ByteView secret, std::string_view info) {
    return crypto::hkdfSha512(secret, {}, crypto::bytesOf(info), 32);
}

crypto::Bytes nonce(std::uint64_t counter) {
    crypto::Bytes out(12, 0);
    for (std::size_t i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(counter >> (8 * i));
    return out;
}

crypto::Bytes header(std::uint8_t frameType, std::size_t length) {
    return {frameType, static_cast<std::uint8_t>(length >> 16),
            static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
}

}  // namespace

SessionCipher::SessionCipher(crypto::ByteView sharedSecret, Role role)
    : outgoingKey_(key(sharedSecret, role == Role::client ? kClientInfo : kServerInfo)),
      incomingKey_(key(sharedSecret, role == Role::client ? kServerInfo : kClientInfo)) {}

std::optional<crypto::Bytes> SessionCipher::seal(std::uint8_t frameType, crypto::ByteView payload) {
    if (payload.empty()) return header(frameType, 0);
    if (payload.size() > kMaxFrameLength - kTagSize) return std::nullopt;
    crypto::Bytes frame = header(frameType, payload.size() + kTagSize);
    const crypto::Bytes sealed = crypto::seal(outgoingKey_, nonce(sealed_), frame, payload);
    frame.insert(frame.end(), sealed.begin(), sealed.end());
    ++sealed_;
    return frame;
}

std::optional<crypto::Bytes> SessionCipher::open(crypto::ByteView frameHeader,
                                                 crypto::ByteView body) {
    if (frameHeader.size() != kHeaderSize) return std::nullopt;
    const std::size_t length =
        (std::size_t{frameHeader[1]} << 16) | (std::size_t{frameHeader[2]} << 8) | frameHeader[3];
    if (length != body.size()) return std::nullopt;
    if (body.empty()) return crypto::Bytes{};
    auto payload = crypto::open(incomingKey_, nonce(opened_), frameHeader, body);
    if (payload) ++opened_;
    return payload;
}

}  // namespace orvel

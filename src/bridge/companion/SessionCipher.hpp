#pragma once
// SessionCipher: the encryption of every frame after pair-verify. Each direction has its own key
// (HKDF-SHA512 of the pair-verify shared secret, empty salt, info "ClientEncrypt-main" for client
// to TV, "ServerEncrypt-main" for TV to client) and its own counter, the nonce being the counter
// little-endian in 8 bytes then 4 zero bytes. The frame header (type, 3-byte big-endian length
// counting the 16-byte tag) is the associated data, so neither can be altered. Empty payloads are
// sent and taken as they are and count for nothing. Either side can hold one (the role mirrors the
// keys), so a fake TV uses the same class. One per connection, one thread.
//
//   SessionCipher cipher(shared, SessionCipher::Role::client);
//   send(*cipher.seal(0x08, opack));            // header + ciphertext + tag
//   auto payload = cipher.open(header, body);   // nothing: altered, replayed or out of order

#include <cstdint>
#include <optional>

#include "bridge/crypto/Bytes.hpp"

namespace orvel {

class SessionCipher {
public:
    enum class Role { client, accessory };
    static constexpr std::size_t kHeaderSize = 4;
    static constexpr std::size_t kTagSize = 16;
    static constexpr std::size_t kMaxFrameLength = 0xFFFFFF;

    SessionCipher(crypto::ByteView sharedSecret, Role role);

    // The whole frame of `frameType` for `payload`; nothing when it would not fit one frame.
    std::optional<crypto::Bytes> seal(std::uint8_t frameType, crypto::ByteView payload);
    // The payload of a frame whose 4-byte `header` says `body`'s length; nothing when it does not
    // or the body fails authentication (the counter then stays where it was).
    std::optional<crypto::Bytes> open(crypto::ByteView header, crypto::ByteView body);

    std::uint64_t sealedCount() const { return sealed_; }
    std::uint64_t openedCount() const { return opened_; }

private:
    crypto::Bytes outgoingKey_;
    crypto::Bytes incomingKey_;
    std::uint64_t sealed_ = 0;
    std::uint64_t opened_ = 0;
};

}  // namespace orvel

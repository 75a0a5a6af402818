#include "bridge/companion/PairingMessages.hpp"

#include <algorithm>

#include "bridge/crypto/ChaCha20Poly1305.hpp"
#include "bridge/crypto/Hkdf.hpp"

namespace orvel::PairingMessages {

PairingOutcome<Tlv8::Items> read(crypto::ByteView bytes, std::uint8_t state,
                                 PairingFailure::Kind authentication) {
    auto items = Tlv8::decode(bytes);
    if (!items) return PairingFailure::Kind::malformed;
    if (auto failure = PairingFailure::fromItems(*items, authentication)) return *failure;
    if (Tlv8::readInteger(*items, Tlv8::state) != state) return PairingFailure::Kind::malformed;
    return std::move(*items);
}

crypto::Bytes derive(crypto::ByteView secret, std::string_view salt, std::string_view info) {
    return crypto::hkdfSha512(secret, crypto::bytesOf(salt), crypto::bytesOf(info), 32);
}

crypto::Bytes nonce(std::string_view label) {
    crypto::Bytes out(12, 0);
    std::copy_n(label.begin(), std::min<std::size_t>(label.size(), 8), out.begin() + 4);
    return out;
}

crypto::Bytes seal(const crypto::Bytes& key, std::string_view label, const Tlv8::Items& items) {
    return crypto::seal(key, nonce(label), {}, Tlv8::encode(items));
}

PairingOutcome<Tlv8::Items> open(const crypto::Bytes& key, std::string_view label,
                                 const Tlv8::Items& items) {
    const auto* sealed = Tlv8::find(items, Tlv8::encryptedData);
    if (sealed == nullptr) return PairingFailure::Kind::malformed;
    auto plain = crypto::open(key, nonce(label), {}, *sealed);
    if (!plain) return PairingFailure::Kind::malformed;
    auto inner = Tlv8::decode(*plain);
    if (!inner) return PairingFailure::Kind::malformed;
    return std::move(*inner);
}

crypto::Bytes join(std::initializer_list<crypto::ByteView> pieces) {
    crypto::Bytes out;
    for (auto piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

const crypto::Bytes* findSized(const Tlv8::Items& items, std::uint8_t type, std::size_t size) {
    const auto* value = Tlv8::find(items, type);
    if (value == nullptr || value->empty() || (size != 0 && value->size() != size)) return nullptr;
    return value;
}

std::optional<Tlv8::Items> readRequest(crypto::ByteView bytes, std::uint8_t state) {
    auto items = Tlv8::decode(bytes);
    if (!items || Tlv8::readInteger(*items, Tlv8::state) != state) return std::nullopt;
    return std::move(*items);
}

crypto::Bytes refusal(std::uint8_t state, std::uint8_t code, std::optional<std::uint32_t> delay) {
    Tlv8::Items items = {{Tlv8::state, {state}}, {Tlv8::error, {code}}};
    if (delay) items.push_back({Tlv8::retryDelay, Tlv8::integer(*delay)});
    return Tlv8::encode(items);
}

}  // namespace orvel::PairingMessages

#pragma once
// Tlv8: the type-length-value items that pair-setup and pair-verify exchange inside "_pd". A value
// longer than 255 bytes travels as consecutive items of its type, every one full except the last;
// two distinct items of one type in a row need a separator between them, or a reader would join
// them. Pure; any thread.
//
//   Bytes pd = Tlv8::encode({{Tlv8::state, {1}}, {Tlv8::method, {0}}});
//   if (auto items = Tlv8::decode(pd)) if (auto state = Tlv8::readInteger(*items, Tlv8::state)) ...

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/Result.hpp"

namespace orvel::Tlv8 {

enum Type : std::uint8_t {
    method = 0x00,
    identifier = 0x01,
    salt = 0x02,
    publicKey = 0x03,
    proof = 0x04,
    encryptedData = 0x05,
    state = 0x06,
    error = 0x07,
    retryDelay = 0x08,
    signature = 0x0A,
    info = 0x11,
    setupCodeType = 0x1B,
    separator = 0xFF,
};

struct Item {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> value;
    bool operator==(const Item&) const = default;
};
using Items = std::vector<Item>;

std::vector<std::uint8_t> encode(const Items& items);
// Fragments joined, separators dropped; a sentence when the bytes end inside an item.
Result<Items> decode(std::span<const std::uint8_t> bytes);

// The first item of `type`, or nothing.
const std::vector<std::uint8_t>* find(const Items& items, std::uint8_t type);
// The value of the first item of `type` as a little-endian integer of at most 8 bytes.
std::optional<std::uint64_t> readInteger(const Items& items, std::uint8_t type);
// `value` little-endian in its shortest form (one byte for 0).
std::vector<std::uint8_t> integer(std::uint64_t value);
// The UTF-8 bytes of `text`, as identifiers travel.
std::vector<std::uint8_t> text(std::string_view text);

}  // namespace orvel::Tlv8

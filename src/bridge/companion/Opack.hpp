#pragma once
// Opack: OPACK bytes <-> OpackValue, as the Apple TV's own encoder and decoder do it (integers
// signed; strings, data of 2 or more bytes, integers outside -1..39, floats, UUIDs and dates
// numbered in order of appearance, so a repeat is a one-byte back-reference). Bytes come from
// the network: decoding never throws and bounds depth, lengths and memory. Pure; any thread.
//
//   auto payload = encodeOpack(OpackValue::Dictionary{{"_i", "_systemInfo"}, {"_t", 2}});
//   if (auto message = decodeOpack(frame.payload)) ...; else close(message.error());

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "bridge/companion/OpackValue.hpp"
#include "platform/Result.hpp"

namespace orvel {

// The peer's own limit on nested arrays and dictionaries.
inline constexpr std::size_t kMaxOpackDepth = 32;
// Back-references copy what they point at, so a small message could otherwise expand into
// gigabytes; real messages hold a few kilobytes of text and data.
inline constexpr std::size_t kMaxOpackTextBytes = std::size_t{16} << 20;

// Arrays and dictionaries of 15 or more entries are written open-ended.
std::vector<std::uint8_t> encodeOpack(const OpackValue& value);

// Exactly one object, or the sentence saying what is wrong with the bytes. Also reads the forms
// the encoder never writes: NUL-terminated strings, chunked data, open-ended short collections.
Result<OpackValue> decodeOpack(std::span<const std::uint8_t> bytes);

}  // namespace orvel

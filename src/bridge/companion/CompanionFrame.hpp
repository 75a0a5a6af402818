#pragma once
// CompanionFrame: the framing of the Apple TV's Companion connection. Each frame is a 4-byte
// header (type, then the payload length in 3 bytes big-endian) and the payload: OPACK before
// pair-verify ends, ciphertext and tag after it. `FrameReader` cuts the frames out of the bytes
// a socket delivers, split anywhere; it holds no socket. One owner per connection; not
// thread-safe. A stream it refused stays refused: there is no way to find the next header.
//
//   FrameReader reader;
//   auto frames = reader.append(received);   // failure: close the connection with its sentence
//   auto bytes = buildFrame(FrameType::E_OPACK, sealed);

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Result.hpp"

namespace orvel {

// The peer's names. Other values arrive too and are kept as they are.
enum class FrameType : std::uint8_t {
    NoOp = 0x01,
    PS_Start = 0x03,
    PS_Next = 0x04,
    PV_Start = 0x05,
    PV_Next = 0x06,
    E_OPACK = 0x08,
};

inline constexpr std::size_t kFrameHeaderSize = 4;
// The format allows 16 MiB. Real frames are a few kilobytes at most (the longest, pair-setup's
// M2, under 500 bytes; app lists a few KB), so a larger length means a broken or hostile peer,
// and waiting for it would hold that much memory per connection.
inline constexpr std::size_t kMaxFramePayload = std::size_t{1} << 20;

using FrameHeader = std::array<std::uint8_t, kFrameHeaderSize>;

struct CompanionFrame {
    FrameType type{};
    FrameHeader header{};  // as received: the associated data of an encrypted payload
    std::vector<std::uint8_t> payload;
};

// The header for a payload of `length` bytes (after encryption: with its tag); a failure past
// kMaxFramePayload.
Result<FrameHeader> frameHeader(FrameType type, std::size_t length);
// Header and payload, ready to send.
Result<std::vector<std::uint8_t>> buildFrame(FrameType type, std::span<const std::uint8_t> payload);

class FrameReader {
public:
    // The frames `bytes` complete, in order; kept bytes wait for the next call. A length past
    // kMaxFramePayload fails as soon as its header is complete, and so does every later call.
    Result<std::vector<CompanionFrame>> append(std::span<const std::uint8_t> bytes);
    // Received bytes of the frame not yet complete.
    std::size_t pendingBytes() const { return pending_.size(); }

private:
    std::vector<std::uint8_t> pending_;
    std::optional<std::string> refusal_;
};

}  // namespace orvel

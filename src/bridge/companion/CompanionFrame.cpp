#include "bridge/companion/CompanionFrame.hpp"

#include <algorithm>
#include <string>

namespace orvel {
namespace {

std::size_t frameLength(std::span<const std::uint8_t> header) {
    return std::size_t{header[1]} << 16 | std::size_t{header[2]} << 8 | header[3];
}

std::string frameTooLong(std::size_t length) {
    std::string sentence = "The Apple TV frame of ";
    sentence += std::to_string(length);
    sentence += " bytes is longer than the ";
    sentence += std::to_string(kMaxFramePayload);
    sentence += " bytes a frame may have.";
    return sentence;
}

}  // namespace

Result<FrameHeader> frameHeader(FrameType type, std::size_t length) {
    if (length > kMaxFramePayload) return Failure{frameTooLong(length)};
    return FrameHeader{static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(length >> 16),
                       static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
}

Result<std::vector<std::uint8_t>> buildFrame(FrameType type,
                                             std::span<const std::uint8_t> payload) {
    auto header = frameHeader(type, payload.size());
    if (!header) return Failure{header.error()};
    std::vector<std::uint8_t> frame(header->begin(), header->end());
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

Result<std::vector<CompanionFrame>> FrameReader::append(std::span<const std::uint8_t> bytes) {
    if (refusal_) return Failure{*refusal_};
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    std::vector<CompanionFrame> frames;
    std::size_t at = 0;
    while (pending_.size() - at >= kFrameHeaderSize) {
        const auto header = std::span(pending_).subspan(at, kFrameHeaderSize);
        const std::size_t length = frameLength(header);
        if (length > kMaxFramePayload) {
            refusal_ = frameTooLong(length);
            pending_.clear();
            return Failure{*refusal_};
        }
        if (pending_.size() - at - kFrameHeaderSize < length) break;
        CompanionFrame& frame = frames.emplace_back();
        frame.type = static_cast<FrameType>(header[0]);
        std::copy(header.begin(), header.end(), frame.header.begin());
        const auto body = pending_.begin() + static_cast<std::ptrdiff_t>(at + kFrameHeaderSize);
        frame.payload.assign(body, body + static_cast<std::ptrdiff_t>(length));
        at += kFrameHeaderSize + length;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
    return frames;
}

}  // namespace orvel

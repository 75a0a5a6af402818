// What an Apple TV, or anything pretending to be one, may send: a Companion byte stream cut
// into reads anywhere, OPACK, and the TLV8 of pairing answers. Whatever decodes must re-encode
// to bytes that decode to the same value (and OPACK encode the same again).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "bridge/companion/CompanionFrame.hpp"
#include "bridge/companion/Opack.hpp"
#include "bridge/companion/PairingFailure.hpp"
#include "bridge/companion/Tlv8.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void roundTrip(std::span<const std::uint8_t> bytes) {
    const auto decoded = orvel::decodeOpack(bytes);
    if (!decoded) {
        check(!decoded.error().empty());
        return;
    }
    const auto encoded = orvel::encodeOpack(*decoded);
    const auto again = orvel::decodeOpack(encoded);
    check(again.ok() && *again == *decoded);
    check(orvel::encodeOpack(*again) == encoded);
}

void tlvRoundTrip(std::span<const std::uint8_t> bytes) {
    const auto items = orvel::Tlv8::decode(bytes);
    if (!items) {
        check(!items.error().empty());
        return;
    }
    const auto again = orvel::Tlv8::decode(orvel::Tlv8::encode(*items));
    check(again.ok() && *again == *items);
    (void)orvel::PairingFailure::fromItems(*items);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    roundTrip(input);
    tlvRoundTrip(input);

    // The stream whole, then in reads of a size the first byte chooses: the same frames.
    orvel::FrameReader whole;
    const auto expected = whole.append(input);
    orvel::FrameReader pieces;
    std::vector<orvel::CompanionFrame> frames;
    bool refused = false;
    const std::size_t step = size == 0 ? 1 : data[0] % 7 + 1;
    for (std::size_t at = 0; at < size && !refused; at += step) {
        auto got = pieces.append(input.subspan(at, std::min(step, size - at)));
        refused = !got.ok();
        if (got) frames.insert(frames.end(), got->begin(), got->end());
    }
    check(refused == !expected.ok());
    if (!expected) return 0;
    check(frames.size() == expected->size());
    check(pieces.pendingBytes() == whole.pendingBytes());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto& frame = (*expected)[i];
        check(frames[i].header == frame.header && frames[i].payload == frame.payload);
        check(frame.payload.size() <= orvel::kMaxFramePayload);
        const auto rebuilt = orvel::buildFrame(frame.type, frame.payload);
        check(rebuilt.ok() &&
              std::equal(frame.header.begin(), frame.header.end(), rebuilt->begin()));
        roundTrip(frame.payload);
    }
    return 0;
}

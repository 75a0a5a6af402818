#include "core/MediaKeyPress.hpp"

namespace orvel {

std::optional<MediaKeyPress> MediaKeyPress::fromData1(std::int64_t data1) {
    const auto low = static_cast<std::uint32_t>(static_cast<std::uint64_t>(data1));
    const auto state = (low >> 8U) & 0xFFU;
    Phase phase = Phase::down;
    if (state == 0x0BU) {
        phase = Phase::up;
    } else if (state != 0x0AU) {
        return std::nullopt;
    }
    return MediaKeyPress{static_cast<std::uint16_t>(low >> 16U), phase, (low & 1U) != 0};
}

}  // namespace orvel

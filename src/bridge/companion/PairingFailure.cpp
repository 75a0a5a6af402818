#include "bridge/companion/PairingFailure.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace orvel {

std::optional<PairingFailure> PairingFailure::fromItems(const Tlv8::Items& items,
                                                        Kind authentication) {
    std::optional<std::uint32_t> delay;
    if (auto seconds = Tlv8::readInteger(items, Tlv8::retryDelay)) {
        delay = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(*seconds, std::numeric_limits<std::uint32_t>::max()));
    }
    const auto code = Tlv8::readInteger(items, Tlv8::error);
    if (!code) {
        if (delay) return PairingFailure{Kind::backoff, delay};
        if (Tlv8::find(items, Tlv8::error) != nullptr)
            return PairingFailure{Kind::malformed, delay};
        return std::nullopt;
    }
    using enum Kind;
    const std::array<std::pair<std::uint64_t, Kind>, 6> kinds = {{{0x02, authentication},
                                                                  {0x03, backoff},
                                                                  {0x04, noRoom},
                                                                  {0x05, tooManyTries},
                                                                  {0x06, unavailable},
                                                                  {0x07, busy}}};
    const auto it = std::find_if(kinds.begin(), kinds.end(),
                                 [&](const auto& entry) { return entry.first == *code; });
    const Kind kind = it == kinds.end() ? refused : it->second;
    return PairingFailure{kind, delay};
}

}  // namespace orvel

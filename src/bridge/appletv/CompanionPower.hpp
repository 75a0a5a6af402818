#pragma once
// CompanionPower: the TV's power as its attention state says it ("state" of FetchAttentionState
// and of the SystemStatus / TVSystemStatus events). Pure; any thread.

#include <cstdint>
#include <optional>

namespace orvel {

enum class CompanionPower { unknown, off, on };

// 1 asleep: off; 2 screensaver, 3 awake, 4 idle: on; anything else says nothing.
inline std::optional<CompanionPower> powerFromAttention(std::int64_t state) {
    if (state == 1) return CompanionPower::off;
    if (state >= 2 && state <= 4) return CompanionPower::on;
    return std::nullopt;
}

}  // namespace orvel

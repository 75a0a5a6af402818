#pragma once
// OpackRules: what the OPACK encoder and decoder must agree on beyond the tags. Internal to
// Opack; pure.

#include <cstdint>

#include "bridge/companion/OpackValue.hpp"

namespace orvel {

inline constexpr std::uint8_t kOpackTerminator = 0x03;

inline bool isSmallOpackInteger(std::int64_t value) {
    return value >= -1 && value <= 39;
}

// The objects both sides number, in order of appearance, for back-references; a mismatch would
// make every later reference point at the wrong object.
inline bool isOpackNumbered(const OpackValue& value) {
    using Kind = OpackValue::Kind;
    switch (value.kind()) {
        case Kind::Integer:
            return !isSmallOpackInteger(*value.asInteger());
        case Kind::String:
            return !value.asString()->empty();
        case Kind::Data:
            return value.asData()->size() >= 2;
        case Kind::Float32:
        case Kind::Float64:
        case Kind::Uuid:
        case Kind::Date:
            return true;
        default:
            return false;
    }
}

}  // namespace orvel

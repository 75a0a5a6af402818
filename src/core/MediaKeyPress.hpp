#pragma once
// MediaKeyPress: one event of a media or volume key, as the media-key code of the stored
// vocabulary (0 volume up, 1 volume down, 7 mute, 16 play, 17 next, 18 previous, 19 fast,
// 20 rewind; other codes are ignored by this system), whether it goes down or up, and whether it
// is an auto-repeat. Backends build one from their own key events; fromData1() decodes the one
// integer that a system-defined media-key event carries. A plain value, any thread.

#include <cstdint>
#include <optional>

namespace orvel {

struct MediaKeyPress {
    enum class Phase { down, up };

    static constexpr std::uint16_t kVolumeUp = 0;
    static constexpr std::uint16_t kVolumeDown = 1;
    static constexpr std::uint16_t kMute = 7;
    static constexpr std::uint16_t kPlay = 16;
    static constexpr std::uint16_t kNext = 17;
    static constexpr std::uint16_t kPrevious = 18;
    static constexpr std::uint16_t kFast = 19;
    static constexpr std::uint16_t kRewind = 20;

    std::uint16_t code = 0;
    Phase phase = Phase::down;
    bool isRepeat = false;

    // Only the low 32 bits count: bits 16-31 the code, bits 8-15 the key state (0x0A down,
    // 0x0B up, anything else is no press), bit 0 the repeat flag.
    static std::optional<MediaKeyPress> fromData1(std::int64_t data1);

    bool operator==(const MediaKeyPress&) const = default;
};

}  // namespace orvel

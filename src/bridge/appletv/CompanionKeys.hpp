#pragma once
// CompanionKeys: the button codes the Apple TV takes in "_hidC" requests, and the button states
// ("_hBtS") that make a press. Plain constants.

#include <cstdint>

namespace orvel {

enum class CompanionKey : std::uint8_t {
    up = 1,
    down = 2,
    left = 3,
    right = 4,
    menu = 5,  // back
    select = 6,
    home = 7,
    volumeUp = 8,
    volumeDown = 9,
    siri = 10,
    screensaver = 11,
    sleep = 12,
    wake = 13,
    playPause = 14,
    channelUp = 15,
    channelDown = 16,
    guide = 17,
    pageUp = 18,
    pageDown = 19,  // also opens the control center
};

inline constexpr int kButtonDown = 1;
inline constexpr int kButtonUp = 2;

}  // namespace orvel

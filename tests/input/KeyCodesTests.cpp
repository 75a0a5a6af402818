#include "input/KeyCodes.hpp"

#include <gtest/gtest.h>

#include "core/KeyboardShortcut.hpp"
#include "core/MediaKeyPress.hpp"

namespace orvel {
namespace {

using K = KeyboardShortcut;

struct KeyCase {
    std::uint32_t code;
    std::uint32_t keysym;
    std::string_view name;
};

// Keys from every block of the layout, where a shifted row would show.
constexpr KeyCase kKeyCases[] = {
    {0, 0x61, "a"},          {35, 0x70, "P"},        {29, 0x30, "0"},
    {50, 0x60, "grave"},     {36, 0xff0d, "Return"}, {51, 0xff08, "BackSpace"},
    {117, 0xffff, "Delete"}, {116, 0xff55, "Prior"}, {121, 0xff56, "next"},
    {126, 0xff52, "Up"},     {92, 0xffb9, "KP_9"},   {81, 0xffbd, "KP_Equal"},
    {122, 0xffbe, "F1"},     {118, 0xffc1, "f4"},    {113, 0xffcc, "F15"},
};

TEST(KeyCodes, KeyCodesKeysymsAndNamesRoundTrip) {
    for (const auto& each : kKeyCases) {
        SCOPED_TRACE(each.name);
        EXPECT_EQ(KeyCodes::keysymForKeyCode(each.code), each.keysym);
        EXPECT_EQ(KeyCodes::keyCodeForKeysym(each.keysym), each.code);
        EXPECT_EQ(KeyCodes::keyCodeForKeysymName(each.name), each.code);
    }
}

TEST(KeyCodes, CapitalLettersAreTheirKeysAndUnknownsAreNothing) {
    EXPECT_EQ(KeyCodes::keyCodeForKeysym(0x50), 35U);         // P
    EXPECT_EQ(KeyCodes::keysymForKeyCode(10), std::nullopt);  // ISO section key: none here
    EXPECT_EQ(KeyCodes::keyCodeForKeysym(0x1008ff14), std::nullopt);
    EXPECT_EQ(KeyCodes::keyCodeForKeysymName("Pause"), std::nullopt);
    EXPECT_EQ(KeyCodes::keyCodeForKeysymName(""), std::nullopt);
}

TEST(KeyCodes, MediaCodesRoundTripThroughTheirKeysyms) {
    constexpr std::pair<std::uint16_t, std::uint32_t> kMedia[] = {
        {MediaKeyPress::kVolumeUp, 0x1008ff13}, {MediaKeyPress::kVolumeDown, 0x1008ff11},
        {MediaKeyPress::kMute, 0x1008ff12},     {MediaKeyPress::kPlay, 0x1008ff14},
        {MediaKeyPress::kNext, 0x1008ff17},     {MediaKeyPress::kPrevious, 0x1008ff16},
        {MediaKeyPress::kFast, 0x1008ff97},     {MediaKeyPress::kRewind, 0x1008ff3e},
    };
    for (const auto& [code, keysym] : kMedia) {
        EXPECT_EQ(KeyCodes::keysymForMediaCode(code), keysym) << code;
        EXPECT_EQ(KeyCodes::mediaCodeForKeysym(keysym), code) << code;
    }
    EXPECT_EQ(KeyCodes::keysymForMediaCode(2), std::nullopt);
    EXPECT_EQ(KeyCodes::mediaCodeForKeysym(0x1008ff15), std::nullopt);  // XF86AudioStop
}

TEST(KeyCodes, ModifiersMapBothWaysAndTheLocksAreDropped) {
    constexpr std::uint16_t kEverything = 0xff;  // the locks, Mod3 and Mod5 among them
    EXPECT_EQ(KeyCodes::modifiersFromX11State(kEverything),
              K::kShift | K::kCtrl | K::kAlt | K::kSuper);
    EXPECT_EQ(KeyCodes::modifiersFromX11State(KeyCodes::kX11Lock | KeyCodes::kX11Mod2), 0U);
    EXPECT_EQ(KeyCodes::x11StateFromModifiers(K::kDefault.modifiers),
              KeyCodes::kX11Control | KeyCodes::kX11Mod1 | KeyCodes::kX11Mod4);
    EXPECT_EQ(KeyCodes::x11StateFromModifiers(K::kShift | K::kSuper),
              KeyCodes::kX11Shift | KeyCodes::kX11Mod4);
}

}  // namespace
}  // namespace orvel

#include "input/KeyCodes.hpp"

#include <algorithm>
#include <array>

#include "core/KeyboardShortcut.hpp"
#include "core/MediaKeyPress.hpp"

namespace orvel::KeyCodes {

namespace {

struct Key {
    std::uint32_t code;  // macOS virtual key code
    std::uint32_t keysym;
    std::string_view name;  // the keysym's name
};

// The ANSI layout's keys; the X server maps them to whatever the user's layout types.
constexpr std::array kKeys{
    Key{0, 0x61, "a"},
    Key{11, 0x62, "b"},
    Key{8, 0x63, "c"},
    Key{2, 0x64, "d"},
    Key{14, 0x65, "e"},
    Key{3, 0x66, "f"},
    Key{5, 0x67, "g"},
    Key{4, 0x68, "h"},
    Key{34, 0x69, "i"},
    Key{38, 0x6a, "j"},
    Key{40, 0x6b, "k"},
    Key{37, 0x6c, "l"},
    Key{46, 0x6d, "m"},
    Key{45, 0x6e, "n"},
    Key{31, 0x6f, "o"},
    Key{35, 0x70, "p"},
    Key{12, 0x71, "q"},
    Key{15, 0x72, "r"},
    Key{1, 0x73, "s"},
    Key{17, 0x74, "t"},
    Key{32, 0x75, "u"},
    Key{9, 0x76, "v"},
    Key{13, 0x77, "w"},
    Key{7, 0x78, "x"},
    Key{16, 0x79, "y"},
    Key{6, 0x7a, "z"},
    Key{29, 0x30, "0"},
    Key{18, 0x31, "1"},
    Key{19, 0x32, "2"},
    Key{20, 0x33, "3"},
    Key{21, 0x34, "4"},
    Key{23, 0x35, "5"},
    Key{22, 0x36, "6"},
    Key{26, 0x37, "7"},
    Key{28, 0x38, "8"},
    Key{25, 0x39, "9"},
    Key{27, 0x2d, "minus"},
    Key{24, 0x3d, "equal"},
    Key{33, 0x5b, "bracketleft"},
    Key{30, 0x5d, "bracketright"},
    Key{41, 0x3b, "semicolon"},
    Key{39, 0x27, "apostrophe"},
    Key{50, 0x60, "grave"},
    Key{42, 0x5c, "backslash"},
    Key{43, 0x2c, "comma"},
    Key{47, 0x2e, "period"},
    Key{44, 0x2f, "slash"},
    Key{49, 0x20, "space"},
    Key{36, 0xff0d, "Return"},
    Key{48, 0xff09, "Tab"},
    Key{51, 0xff08, "BackSpace"},
    Key{53, 0xff1b, "Escape"},
    Key{117, 0xffff, "Delete"},
    Key{114, 0xff63, "Insert"},
    Key{115, 0xff50, "Home"},
    Key{119, 0xff57, "End"},
    Key{116, 0xff55, "Page_Up"},
    Key{121, 0xff56, "Page_Down"},
    Key{123, 0xff51, "Left"},
    Key{124, 0xff53, "Right"},
    Key{125, 0xff54, "Down"},
    Key{126, 0xff52, "Up"},
    Key{76, 0xff8d, "KP_Enter"},
    Key{82, 0xffb0, "KP_0"},
    Key{83, 0xffb1, "KP_1"},
    Key{84, 0xffb2, "KP_2"},
    Key{85, 0xffb3, "KP_3"},
    Key{86, 0xffb4, "KP_4"},
    Key{87, 0xffb5, "KP_5"},
    Key{88, 0xffb6, "KP_6"},
    Key{89, 0xffb7, "KP_7"},
    Key{91, 0xffb8, "KP_8"},
    Key{92, 0xffb9, "KP_9"},
    Key{65, 0xffae, "KP_Decimal"},
    Key{67, 0xffaa, "KP_Multiply"},
    Key{69, 0xffab, "KP_Add"},
    Key{78, 0xffad, "KP_Subtract"},
    Key{75, 0xffaf, "KP_Divide"},
    Key{81, 0xffbd, "KP_Equal"},
    Key{122, 0xffbe, "F1"},
    Key{120, 0xffbf, "F2"},
    Key{99, 0xffc0, "F3"},
    Key{118, 0xffc1, "F4"},
    Key{96, 0xffc2, "F5"},
    Key{97, 0xffc3, "F6"},
    Key{98, 0xffc4, "F7"},
    Key{100, 0xffc5, "F8"},
    Key{101, 0xffc6, "F9"},
    Key{109, 0xffc7, "F10"},
    Key{103, 0xffc8, "F11"},
    Key{111, 0xffc9, "F12"},
    Key{105, 0xffca, "F13"},
    Key{107, 0xffcb, "F14"},
    Key{113, 0xffcc, "F15"},
};

// Other names the desktops write for the same keysyms.
constexpr std::array<std::pair<std::string_view, std::uint32_t>, 3> kAliases{{
    {"Prior", 0xff55},
    {"Next", 0xff56},
    {"KP_Separator", 0xffae},
}};

struct MediaKey {
    std::uint16_t code;
    std::uint32_t keysym;
};

constexpr std::array kMediaKeys{
    MediaKey{MediaKeyPress::kVolumeUp, 0x1008ff13},    // XF86AudioRaiseVolume
    MediaKey{MediaKeyPress::kVolumeDown, 0x1008ff11},  // XF86AudioLowerVolume
    MediaKey{MediaKeyPress::kMute, 0x1008ff12},        // XF86AudioMute
    MediaKey{MediaKeyPress::kPlay, 0x1008ff14},        // XF86AudioPlay
    MediaKey{MediaKeyPress::kNext, 0x1008ff17},        // XF86AudioNext
    MediaKey{MediaKeyPress::kPrevious, 0x1008ff16},    // XF86AudioPrev
    MediaKey{MediaKeyPress::kFast, 0x1008ff97},        // XF86AudioForward
    MediaKey{MediaKeyPress::kRewind, 0x1008ff3e},      // XF86AudioRewind
};

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::optional<std::uint32_t> keysymForKeyCode(std::uint32_t code) {
    const auto* key = std::ranges::find(kKeys, code, &Key::code);
    if (key == kKeys.end()) return std::nullopt;
    return key->keysym;
}

std::optional<std::string_view> keysymNameForKeyCode(std::uint32_t code) {
    const auto* key = std::ranges::find(kKeys, code, &Key::code);
    if (key == kKeys.end()) return std::nullopt;
    return key->name;
}

std::optional<std::uint32_t> keyCodeForKeysym(std::uint32_t keysym) {
    if (keysym >= 0x41 && keysym <= 0x5a) keysym += 0x20;  // upper-case letters
    const auto* key = std::ranges::find(kKeys, keysym, &Key::keysym);
    if (key == kKeys.end()) return std::nullopt;
    return key->code;
}

std::optional<std::uint32_t> keyCodeForKeysymName(std::string_view name) {
    const auto* key = std::ranges::find_if(
        kKeys, [&](const Key& each) { return sameIgnoringCase(each.name, name); });
    if (key != kKeys.end()) return key->code;
    const auto* alias = std::ranges::find_if(
        kAliases, [&](const auto& each) { return sameIgnoringCase(each.first, name); });
    if (alias != kAliases.end()) return keyCodeForKeysym(alias->second);
    return std::nullopt;
}

std::optional<std::uint32_t> keysymForMediaCode(std::uint16_t code) {
    const auto* key = std::ranges::find(kMediaKeys, code, &MediaKey::code);
    if (key == kMediaKeys.end()) return std::nullopt;
    return key->keysym;
}

std::optional<std::uint16_t> mediaCodeForKeysym(std::uint32_t keysym) {
    const auto* key = std::ranges::find(kMediaKeys, keysym, &MediaKey::keysym);
    if (key == kMediaKeys.end()) return std::nullopt;
    return key->code;
}

namespace {

constexpr std::array<std::pair<std::uint16_t, std::uint32_t>, 4> kModifiers{{
    {kX11Shift, KeyboardShortcut::kShift},
    {kX11Control, KeyboardShortcut::kCtrl},
    {kX11Mod1, KeyboardShortcut::kAlt},
    {kX11Mod4, KeyboardShortcut::kSuper},
}};

}  // namespace

std::uint32_t modifiersFromX11State(std::uint16_t state) {
    std::uint32_t modifiers = 0;
    for (const auto& [x11, carbon] : kModifiers) {
        if ((state & x11) != 0) modifiers |= carbon;
    }
    return modifiers;
}

std::uint16_t x11StateFromModifiers(std::uint32_t modifiers) {
    std::uint16_t state = 0;
    for (const auto& [x11, carbon] : kModifiers) {
        if ((modifiers & carbon) != 0) state = static_cast<std::uint16_t>(state | x11);
    }
    return state;
}

}  // namespace orvel::KeyCodes

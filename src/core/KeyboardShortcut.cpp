#include "core/KeyboardShortcut.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace orvel {

namespace {

constexpr std::array<std::pair<std::uint32_t, std::string_view>, 4> kModifierPrefixes{{
    {KeyboardShortcut::kCtrl, "Ctrl+"},
    {KeyboardShortcut::kAlt, "Alt+"},
    {KeyboardShortcut::kShift, "Shift+"},
    {KeyboardShortcut::kSuper, "Super+"},
}};

constexpr std::array<std::pair<std::uint32_t, std::string_view>, 6> kKeyNames{{
    {49, "Space"},
    {36, "Return"},
    {123, "Left"},
    {124, "Right"},
    {125, "Down"},
    {126, "Up"},
}};

// Tab, Backspace and the like type control characters that would show as nothing.
bool printable(std::string_view characters) {
    return !characters.empty() && std::ranges::none_of(characters, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

// ASCII letters only; other text is shown as the key types it.
std::string upperCased(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

}  // namespace

std::optional<std::string_view> KeyboardShortcut::validationMessage() const {
    if ((modifiers & (kCtrl | kAlt | kSuper)) == 0) return kNeedsModifierMessage;
    return std::nullopt;
}

std::string KeyboardShortcut::label(std::string_view characters) const {
    std::string result;
    for (const auto& [bit, prefix] : kModifierPrefixes) {
        if ((modifiers & bit) != 0) result += prefix;
    }
    const auto* named =
        std::ranges::find(kKeyNames, code, &std::pair<std::uint32_t, std::string_view>::first);
    if (named != kKeyNames.end()) {
        result += named->second;
    } else if (printable(characters)) {
        result += upperCased(characters);
    } else {
        result += "Key " + std::to_string(code);
    }
    return result;
}

}  // namespace orvel

#include "input/GtkAccelerator.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "input/KeyCodes.hpp"

namespace orvel::GtkAccelerator {

namespace {

constexpr std::array<std::pair<std::string_view, std::uint32_t>, 10> kModifiers{{
    {"primary", KeyboardShortcut::kCtrl},
    {"control", KeyboardShortcut::kCtrl},
    {"ctrl", KeyboardShortcut::kCtrl},
    {"ctl", KeyboardShortcut::kCtrl},
    {"alt", KeyboardShortcut::kAlt},
    {"mod1", KeyboardShortcut::kAlt},
    {"super", KeyboardShortcut::kSuper},
    {"mod4", KeyboardShortcut::kSuper},
    {"meta", KeyboardShortcut::kSuper},
    {"shift", KeyboardShortcut::kShift},
}};

std::optional<std::uint32_t> modifierNamed(std::string_view name) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (const auto& [known, bit] : kModifiers) {
        if (std::ranges::equal(name, known, [&](char a, char b) { return lower(a) == b; }))
            return bit;
    }
    return std::nullopt;
}

std::string_view trimmed(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<KeyboardShortcut> parse(std::string_view accelerator) {
    auto rest = trimmed(accelerator);
    std::uint32_t modifiers = 0;
    while (!rest.empty() && rest.front() == '<') {
        auto close = rest.find('>');
        if (close == std::string_view::npos) return std::nullopt;
        auto bit = modifierNamed(rest.substr(1, close - 1));
        if (!bit) return std::nullopt;
        modifiers |= *bit;
        rest.remove_prefix(close + 1);
    }
    if (rest.empty()) return std::nullopt;
    auto code = KeyCodes::keyCodeForKeysymName(rest);
    if (!code) return std::nullopt;
    return KeyboardShortcut{*code, modifiers};
}

}  // namespace orvel::GtkAccelerator

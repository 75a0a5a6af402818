#include "input/KdeShortcuts.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "input/KeyCodes.hpp"
#include "platform/AtomicFile.hpp"

namespace orvel::KdeShortcuts {

namespace {

constexpr std::array<std::pair<std::string_view, std::uint32_t>, 4> kModifiers{{
    {"ctrl", KeyboardShortcut::kCtrl},
    {"alt", KeyboardShortcut::kAlt},
    {"shift", KeyboardShortcut::kShift},
    {"meta", KeyboardShortcut::kSuper},
}};

// The daemon's key names where they differ from the keysym names.
constexpr std::array<std::pair<std::string_view, std::string_view>, 24> kKeyNames{{
    {"Space", "space"},
    {"Enter", "KP_Enter"},
    {"Esc", "Escape"},
    {"Backspace", "BackSpace"},
    {"Backtab", "Tab"},
    {"Del", "Delete"},
    {"Ins", "Insert"},
    {"PgUp", "Page_Up"},
    {"PgDown", "Page_Down"},
    {"Page Up", "Page_Up"},
    {"Page Down", "Page_Down"},
    {"-", "minus"},
    {"=", "equal"},
    {"[", "bracketleft"},
    {"]", "bracketright"},
    {";", "semicolon"},
    {"'", "apostrophe"},
    {"`", "grave"},
    {"\\", "backslash"},
    {",", "comma"},
    {".", "period"},
    {"/", "slash"},
    {"Return", "Return"},
    {"Tab", "Tab"},
}};

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trimmed(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<std::uint32_t> keyCodeNamed(std::string_view name) {
    const auto* known = std::ranges::find_if(
        kKeyNames, [&](const auto& each) { return sameIgnoringCase(each.first, name); });
    if (known != kKeyNames.end()) return KeyCodes::keyCodeForKeysymName(known->second);
    // Letters, digits, F-keys, Home, End and the arrows are spelt as their keysyms.
    return KeyCodes::keyCodeForKeysymName(name);
}

// The active field of an entry's value, with the file's escapes undone and its shortcuts
// apart: the fields are separated by unescaped commas, the shortcuts by "\t".
std::vector<std::string> activeShortcuts(std::string_view value) {
    std::vector<std::string> shortcuts(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == ',') break;
        if (c == '\t') {
            shortcuts.emplace_back();
        } else if (c == '\\' && i + 1 < value.size()) {
            char next = value[++i];
            if (next == 't') {
                shortcuts.emplace_back();
            } else {
                shortcuts.back() += next == 's' ? ' ' : next;
            }
        } else {
            shortcuts.back() += c;
        }
    }
    return shortcuts;
}

}  // namespace

std::optional<KeyboardShortcut> parseShortcut(std::string_view text) {
    text = trimmed(text);
    if (text.empty() || sameIgnoringCase(text, "none")) return std::nullopt;
    // The key follows the last '+' that is not itself the key ("Ctrl++").
    auto split = text.size() < 2 ? std::string_view::npos : text.rfind('+', text.size() - 2);
    auto key = split == std::string_view::npos ? text : text.substr(split + 1);
    auto code = keyCodeNamed(key);
    if (!code) return std::nullopt;

    std::uint32_t modifiers = 0;
    auto rest = split == std::string_view::npos ? std::string_view{} : text.substr(0, split + 1);
    while (!rest.empty()) {
        auto plus = rest.find('+');
        auto name = trimmed(rest.substr(0, plus));
        const auto* modifier = std::ranges::find_if(
            kModifiers, [&](const auto& each) { return sameIgnoringCase(each.first, name); });
        if (modifier == kModifiers.end()) return std::nullopt;
        modifiers |= modifier->second;
        rest.remove_prefix(plus + 1);
    }
    return KeyboardShortcut{*code, modifiers};
}

std::vector<KeyboardShortcut> parseConfig(std::string_view text) {
    std::vector<KeyboardShortcut> shortcuts;
    bool inComponent = false;
    while (!text.empty()) {
        auto end = text.find('\n');
        auto line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            // "[$Version]" and the like belong to the file, not to a component.
            inComponent = line.size() > 2 && line.back() == ']' && line[1] != '$';
            continue;
        }
        auto equals = line.find('=');
        if (!inComponent || equals == std::string_view::npos) continue;
        auto action = trimmed(line.substr(0, equals));
        // The daemon's own entries about the component ("_k_friendly_name").
        if (action.empty() || action.starts_with("_k_")) continue;
        for (const auto& each : activeShortcuts(trimmed(line.substr(equals + 1)))) {
            if (auto shortcut = parseShortcut(each)) shortcuts.push_back(*shortcut);
        }
    }
    return shortcuts;
}

std::vector<KeyboardShortcut> read(const AppPaths::Environment& env) {
    auto folder = AppPaths::configHome(env);
    if (!folder) return {};
    std::string text;
    if (AtomicFile::read(*folder + "/kglobalshortcutsrc", text, kMaxFileBytes)) return {};
    return parseConfig(text);
}

}  // namespace orvel::KdeShortcuts

#include "session/SessionDefaults.hpp"

#include <cstdint>
#include <limits>
#include <string>
#include <utility>

namespace orvel::SessionDefaults {

namespace {

std::optional<std::uint32_t> unsigned32(const Defaults& defaults, const char* key) {
    auto value = defaults.intValue(key);
    if (!value || *value < 0 || *value > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

}  // namespace

void registerPreferences(Defaults& defaults) {
    defaults.registerDefaults({
        {kMediaKeys, true},
        {kCommandVolume, true},
        {kFollowPlaying, true},
        {kShowsMenuBarIcon, true},
        {kShowsInMediaControls, true},
        {kShortcutCode, KeyboardShortcut::kDefault.code},
        {kShortcutModifiers, KeyboardShortcut::kDefault.modifiers},
        {kShortcutLabel, KeyboardShortcut::kDefaultLabel},
    });
}

std::string loadInto(const Defaults& defaults, AppState& state) {
    state.mediaKeys = defaults.boolValue(kMediaKeys).value_or(true);
    state.commandVolume = defaults.boolValue(kCommandVolume).value_or(true);
    state.followPlaying = defaults.boolValue(kFollowPlaying).value_or(true);
    state.showsMenuBarIcon = defaults.boolValue(kShowsMenuBarIcon).value_or(true);
    state.showsInMediaControls = defaults.boolValue(kShowsInMediaControls).value_or(true);

    auto code = unsigned32(defaults, kShortcutCode);
    auto modifiers = unsigned32(defaults, kShortcutModifiers);
    if (code && modifiers) {
        state.shortcutCode = *code;
        state.shortcutModifiers = *modifiers;
        state.shortcutLabel = defaults.stringValue(kShortcutLabel)
                                  .value_or(std::string(KeyboardShortcut::kDefaultLabel));
    } else {
        state.shortcutCode = KeyboardShortcut::kDefault.code;
        state.shortcutModifiers = KeyboardShortcut::kDefault.modifiers;
        state.shortcutLabel = std::string(KeyboardShortcut::kDefaultLabel);
    }

    state.selectedID = defaults.stringValue(kLastDevice).value_or("");

    auto stored = defaults.jsonValue(kPairedDevices);
    if (!stored) return "";
    const std::string file = "the settings file \"" + defaults.path() + "\"";
    auto decoded = decodeDevices(*stored);
    if (!decoded) {
        return "The paired TVs in " + file +
               " could not be read, so the list starts empty and is replaced when a TV is paired.";
    }
    state.savedDevices = std::move(decoded->devices);
    if (decoded->skipped == 0) return "";
    const bool one = decoded->skipped == 1;
    return "In " + file + ", " + std::to_string(decoded->skipped) +
           (one ? " paired TV could not be read; it is left out and kept in the file as it was."
                : " paired TVs could not be read; they are left out and kept in the file as "
                  "they were.");
}

void savePreferences(const AppState& state, Defaults& defaults) {
    defaults.setValues({
        {kMediaKeys, state.mediaKeys},
        {kCommandVolume, state.commandVolume},
        {kFollowPlaying, state.followPlaying},
        {kShowsMenuBarIcon, state.showsMenuBarIcon},
        {kShowsInMediaControls, state.showsInMediaControls},
        {kShortcutCode, state.shortcutCode},
        {kShortcutModifiers, state.shortcutModifiers},
        {kShortcutLabel, state.shortcutLabel},
    });
}

std::optional<DecodedDevices> decodeDevices(const nlohmann::json& stored) {
    if (!stored.is_array()) return std::nullopt;
    DecodedDevices decoded;
    decoded.devices.reserve(stored.size());
    for (const auto& entry : stored) {
        if (auto device = TVDevice::fromStored(entry)) {
            decoded.devices.push_back(std::move(*device));
        } else {
            ++decoded.skipped;
        }
    }
    return decoded;
}

bool saveDevices(const std::vector<TVDevice>& devices, Defaults& defaults) {
    auto list = nlohmann::json::array();
    for (const auto& device : devices) list.push_back(device.stored());
    // Entries no run could read are the user's to mend, not ours to drop.
    if (auto stored = defaults.jsonValue(kPairedDevices); stored && stored->is_array()) {
        for (auto& entry : *stored) {
            if (!TVDevice::fromStored(entry)) list.push_back(std::move(entry));
        }
    }
    try {
        (void)list.dump();  // throws for text that is not UTF-8
    } catch (const nlohmann::json::exception&) {
        return false;
    }
    defaults.setJson(kPairedDevices, std::move(list));
    return true;
}

}  // namespace orvel::SessionDefaults

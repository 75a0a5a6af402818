#include "session/SessionDefaults.hpp"

#include <cstdint>
#include <limits>

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
        {kShortcutCode, KeyboardShortcut::kDefault.code},
        {kShortcutModifiers, KeyboardShortcut::kDefault.modifiers},
        {kShortcutLabel, KeyboardShortcut::kDefaultLabel},
    });
}

void loadInto(const Defaults& defaults, AppState& state) {
    state.mediaKeys = defaults.boolValue(kMediaKeys).value_or(true);
    state.commandVolume = defaults.boolValue(kCommandVolume).value_or(true);
    state.followPlaying = defaults.boolValue(kFollowPlaying).value_or(true);
    state.showsMenuBarIcon = defaults.boolValue(kShowsMenuBarIcon).value_or(true);

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

    if (auto stored = defaults.jsonValue(kPairedDevices)) {
        if (auto devices = decodeDevices(*stored)) state.savedDevices = std::move(*devices);
    }
    state.selectedID = defaults.stringValue(kLastDevice).value_or("");
}

void savePreferences(const AppState& state, Defaults& defaults) {
    defaults.setValues({
        {kMediaKeys, state.mediaKeys},
        {kCommandVolume, state.commandVolume},
        {kFollowPlaying, state.followPlaying},
        {kShowsMenuBarIcon, state.showsMenuBarIcon},
        {kShortcutCode, state.shortcutCode},
        {kShortcutModifiers, state.shortcutModifiers},
        {kShortcutLabel, state.shortcutLabel},
    });
}

std::optional<std::vector<TVDevice>> decodeDevices(const nlohmann::json& stored) {
    if (!stored.is_array()) return std::nullopt;
    std::vector<TVDevice> devices;
    devices.reserve(stored.size());
    for (const auto& entry : stored) {
        auto device = TVDevice::fromStored(entry);
        if (!device) return std::nullopt;
        devices.push_back(std::move(*device));
    }
    return devices;
}

bool saveDevices(const std::vector<TVDevice>& devices, Defaults& defaults) {
    auto list = nlohmann::json::array();
    for (const auto& device : devices) list.push_back(device.stored());
    try {
        (void)list.dump();  // throws for text that is not UTF-8
    } catch (const nlohmann::json::exception&) {
        return false;
    }
    defaults.setJson(kPairedDevices, std::move(list));
    return true;
}

}  // namespace orvel::SessionDefaults

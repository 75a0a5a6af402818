#pragma once
// SessionDefaults: what the session keeps in the defaults file, under which keys and in which
// form. The preferences are registered with their defaults and read at start, and written all
// eight together; the paired TVs are one JSON array of {"id","name","protocols"}; the TV last
// connected is one text. Reading never fails: a value of the wrong form falls back, and a
// paired TV that cannot be read is left out (and kept in the file) while the rest load.
//
//   SessionDefaults::registerPreferences(defaults);
//   SessionDefaults::loadInto(defaults, state);
//
// Called by AppStore on the loop thread.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/Defaults.hpp"
#include "session/AppState.hpp"
#include "session/TVDevice.hpp"

namespace orvel::SessionDefaults {

inline constexpr const char* kMediaKeys = "mediaKeys";
inline constexpr const char* kCommandVolume = "commandVolume";
inline constexpr const char* kFollowPlaying = "followPlaying";
inline constexpr const char* kShowsMenuBarIcon = "showsMenuBarIcon";
inline constexpr const char* kShowsInMediaControls = "showsInMediaControls";
inline constexpr const char* kShortcutCode = "shortcutCode";
inline constexpr const char* kShortcutModifiers = "shortcutModifiers";
inline constexpr const char* kShortcutLabel = "shortcutLabel";
inline constexpr const char* kPairedDevices = "pairedDevices";
inline constexpr const char* kLastDevice = "lastDevice";
inline constexpr const char* kMenuBarAnchorOffset = "menuBarAnchorOffset";

// The eight preference keys with their defaults: switches on, the default shortcut.
void registerPreferences(Defaults& defaults);

// Reads the preferences, the paired TVs and the last TV into `state`. A shortcut code or mask
// that is not an unsigned 32-bit value brings back the whole default shortcut, label included,
// so that the label never describes another key. Returns a sentence when stored paired TVs
// could not be read; empty otherwise.
std::string loadInto(const Defaults& defaults, AppState& state);

// The eight preference keys of `state`, written with one save.
void savePreferences(const AppState& state, Defaults& defaults);

struct DecodedDevices {
    std::vector<TVDevice> devices;
    std::size_t skipped = 0;  // entries that are not a stored TV
};
// The saved list without its malformed entries; nothing when the stored value is not a list.
std::optional<DecodedDevices> decodeDevices(const nlohmann::json& stored);
// Stores the list, followed by the stored entries that are not a TV, unchanged, unless a name
// or identifier cannot be written as JSON text (not UTF-8); false then, and nothing is written.
bool saveDevices(const std::vector<TVDevice>& devices, Defaults& defaults);

}  // namespace orvel::SessionDefaults

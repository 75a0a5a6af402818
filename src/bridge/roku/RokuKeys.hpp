#pragma once
// RokuKeys: how remote actions become Roku key names and request paths. Pure; any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RemoteAction.hpp"

namespace orvel {

// The ECP key of an action that is always one keypress ("Up", "Info", "Play", "Fwd",
// "VolumeMute", "PowerOff"...). Nothing for play, pause, text and launchApp (they need more
// than a key) and for the actions a Roku cannot take.
std::optional<std::string> rokuKeyFor(RemoteAction action);

// The actions a Roku can take now, in RemoteAction order. Volume, mute, wake and sleep only on
// TVs (a stick has no such keys); a TV that is off takes nothing but wake.
std::vector<RemoteAction> rokuCapabilities(bool isTv, bool poweredOff);

// Volume, mute and power: keys a TV has and a stick has not.
bool rokuNeedsTV(RemoteAction action);

// One path per Unicode scalar of `utf8`, in order: "/keypress/Lit_" + its encoded UTF-8
// ("é" -> "/keypress/Lit_%C3%A9", "%" -> "/keypress/Lit_%25"). Nothing when `utf8` is not
// well-formed UTF-8.
std::optional<std::vector<std::string>> rokuLiteralPaths(std::string_view utf8);

// "/launch/" + the encoded app id ("a/b c" -> "/launch/a%2Fb%20c").
std::string rokuLaunchPath(std::string_view appID);

}  // namespace orvel

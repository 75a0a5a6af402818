#pragma once
// RemoteAction: the one vocabulary of things a remote can ask a TV to do. Key policies,
// the session, the bridge and control requests all speak it; on the wire it travels as its
// raw value, which is exactly the case name ("up", "skipBackward", "launchApp").
//
//   auto action = remoteActionFromRaw("playPause");   // std::optional<RemoteAction>
//   rawValue(RemoteAction::select) == "select"
//
// Pure values and constants; usable from any thread.

#include <array>
#include <optional>
#include <string_view>

namespace orvel {

// The declaration order is significant: it is the order of kAllRemoteActions, in which a
// TV's supported actions are listed.
enum class RemoteAction {
    up,
    down,
    left,
    right,
    select,
    back,
    menu,
    home,
    appSwitcher,
    controlCenter,
    playPause,
    play,
    pause,
    next,
    previous,
    skipForward,
    skipBackward,
    volumeUp,
    volumeDown,
    setVolume,
    mute,
    wake,
    sleep,
    text,
    launchApp,
};

inline constexpr std::size_t kRemoteActionCount = 25;

// Every action, in declaration order: up first, launchApp last.
extern const std::array<RemoteAction, kRemoteActionCount> kAllRemoteActions;

std::string_view rawValue(RemoteAction action);

// Exactly the 25 raw values, case-sensitively; anything else is no action.
std::optional<RemoteAction> remoteActionFromRaw(std::string_view raw);

}  // namespace orvel

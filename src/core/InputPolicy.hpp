#pragma once
// InputPolicy: which remote action, if any, a media key or a key of the open remote stands for.
// Pure: no state, no I/O, never fails; the callers say what is held and what the TV accepts.
//
//   InputPolicy::mediaKey(MediaKeyPress::kPlay, true, false, true, true, true, caps, playing);
//   InputPolicy::remoteKey(126, false, false);   // RemoteAction::up
//
// Any thread; nothing to own or end.

#include <cstdint>
#include <optional>
#include <set>

#include "core/RemoteAction.hpp"

namespace orvel::InputPolicy {

// `action` when the TV accepts it; playPause falls back to pause while playing and to play
// otherwise, and to nothing beyond that.
std::optional<RemoteAction> supportedAction(RemoteAction action, bool playing,
                                            const std::set<RemoteAction>& supported);

// A media-key code (MediaKeyPress) pressed with Super and none of Shift, Ctrl and Alt on a
// connected TV: playback keys gated by `transportEnabled`, volume keys by `volumeEnabled`.
// Fast and rewind count as next and previous.
std::optional<RemoteAction> mediaKey(std::uint16_t code, bool super, bool otherModifiers,
                                     bool connected, bool transportEnabled, bool volumeEnabled,
                                     const std::set<RemoteAction>& supported, bool playing);

// A key-down in the open remote, by its stored (macOS virtual) key code; nothing while a text
// field has the focus or Super, Ctrl or Alt is held. The caller checks what the TV accepts.
std::optional<RemoteAction> remoteKey(std::uint16_t code, bool editingText, bool hasModifiers);

}  // namespace orvel::InputPolicy

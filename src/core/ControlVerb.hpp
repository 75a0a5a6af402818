#pragma once
// ControlVerb: the table that turns the words typed after `orvel` into remote actions, says
// which words take a repeat count, caps that count, and turns an action back into the word
// a user would type (for messages about an action a TV did not take).
//
//   ControlVerb::action("skip-back") == RemoteAction::skipBackward
//   ControlVerb::name(RemoteAction::select) == "ok"
//
// Constant tables; usable from any thread.

#include <array>
#include <optional>
#include <string_view>

#include "core/RemoteAction.hpp"

namespace orvel::ControlVerb {

struct Entry {
    std::string_view word;
    RemoteAction action;
};

// The 20 command words, lower case with hyphens, matched exactly.
extern const std::array<Entry, 20> kActions;

// The words that accept a repeat count.
extern const std::array<std::string_view, 6> kRepeatable;

// Counts run from 1 to kMaxRepeat inclusive.
inline constexpr int kMaxRepeat = 20;

std::optional<RemoteAction> action(std::string_view word);
bool isRepeatable(std::string_view word);

// The word for an action, never "select" (that is a synonym of "ok"); an action without a
// word gives its raw value ("menu", "launchApp").
std::string_view name(RemoteAction action);

}  // namespace orvel::ControlVerb

#pragma once
// CompanionClientId: this installation's "_i" for the Apple TVs, kept in a small file of the
// bridge's state folder so that it survives restarts: TVs name their peers by it, and two
// clients sharing one push each other off. Any thread; reads and writes the file only.
//
//   CompanionIdentity identity{.clientId = loadCompanionClientId(folder)};
//
// A missing or unreadable file gets a new identifier, written back; when even that cannot be
// written the identifier is used for this run only.

#include <optional>
#include <string>

namespace orvel {

// `folder`: where the file lives; none when no folder is known (a fresh identifier each run).
std::string loadCompanionClientId(const std::optional<std::string>& folder);

}  // namespace orvel

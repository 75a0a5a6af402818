#pragma once
// TVLookup: resolves a name a user typed ("liv", "  Living ROOM ") to one entry's
// identifier, forgiving case and surrounding white space and accepting a unique prefix. It
// serves both the "tv" of a control request (against the paired TVs) and the "app" of a
// launch (against the TV's app list).
//
//   auto match = TVLookup::resolve("liv", tvs);
//   if (auto* found = std::get_if<TVLookup::Found>(&match)) connectTo(found->id);
//
// Pure; usable from any thread. The only user of ICU, in a layer of its own so that programs
// which never resolve names (the orvel tool) do not load the library.

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/NamedEntry.hpp"

namespace orvel::TVLookup {

// Exactly one entry fits; its id.
struct Found {
    std::string id;
    bool operator==(const Found&) const = default;
};

// Several entries fit at the deciding stage; their names as stored, in input order.
struct Ambiguous {
    std::vector<std::string> names;
    bool operator==(const Ambiguous&) const = default;
};

struct Missing {
    bool operator==(const Missing&) const = default;
};

using Match = std::variant<Found, Ambiguous, Missing>;

// Exact match of the normalised name first, then unique prefix. Normalising trims Unicode
// white space and line breaks from both ends and lower-cases with the full Unicode mapping;
// inner white space is kept; the result is in composed form (NFC), so canonically equal
// spellings match. Identifiers are never compared with the query.
Match resolve(std::string_view query, std::span<const NamedEntry> entries);

// The normalised form used for comparison (exposed for callers that cache it).
std::string normalize(std::string_view text);

}  // namespace orvel::TVLookup

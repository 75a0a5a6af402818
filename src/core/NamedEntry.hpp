#pragma once
// NamedEntry: an entry that a typed name can be resolved against (see TVLookup): a TV's
// identifier and shown name, or an app's identifier and name. Plain value.

#include <string>

namespace orvel {

struct NamedEntry {
    std::string id;
    std::string name;
    bool operator==(const NamedEntry&) const = default;
};

}  // namespace orvel

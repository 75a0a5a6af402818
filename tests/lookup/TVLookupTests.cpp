#include "lookup/TVLookup.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using TVLookup::Ambiguous;
using TVLookup::Found;
using TVLookup::Match;
using TVLookup::Missing;

std::string outcome(const Match& match) {
    if (const auto* found = std::get_if<Found>(&match)) return "found " + found->id;
    if (const auto* ambiguous = std::get_if<Ambiguous>(&match)) {
        std::string text = "ambiguous";
        for (const auto& name : ambiguous->names) text += " [" + name + "]";
        return text;
    }
    return "missing";
}

struct LookupRow {
    std::vector<std::string> names;  // ids are "1", "2", ... in this order
    std::string query;
    Match expected;
};

TEST(TVLookup, ResolvesByFoldedExactNameThenUniquePrefix) {
    const std::vector<LookupRow> table = {
        {{"Living Room"}, "", Missing{}},
        {{"Living Room"}, " \n\t ", Missing{}},
        {{}, "tv", Missing{}},
        {{"Living Room"}, "  living ROOM ", Found{"1"}},
        {{"Living Room"}, "liv", Found{"1"}},
        {{"Living Room"}, "room", Missing{}},
        {{"Bedroom", "bedroom"}, "bedroom", Ambiguous{{"Bedroom", "bedroom"}}},
        {{"Kitchen", "Kids Room"}, "k", Ambiguous{{"Kitchen", "Kids Room"}}},
        {{"Kitchen", "Kids Room"}, "kit", Found{"1"}},
        {{"TV Room", "TV"}, "tv", Found{"2"}},
        {{"TV", "TV Room"}, "tv r", Found{"2"}},
        {{"Den  TV"}, "den tv", Missing{}},
        {{"Den  TV"}, "den  tv", Found{"1"}},
        {{"Den TV"}, "den  tv", Missing{}},
        // Identifiers never match.
        {{"Kitchen"}, "1", Missing{}},
        // Case and white space are folded beyond ASCII.
        {{"ÉCRAN"}, "écran", Found{"1"}},
        {{"Écran du salon"}, "éc", Found{"1"}},
        {{"ΣΑΛΌΝΙ"}, "σαλόνι", Found{"1"}},
        {{"Гостиная"}, "ГОСТ", Found{"1"}},
        // Trimmed: no-break space, ideographic space, line separator, next line.
        {{"Salon"}, "\u00A0\u3000salon\u2028\u0085", Found{"1"}},
        // Full mapping: U+0130 lowers to "i" + combining dot above, not to "i".
        {{"İzmir"}, "i̇zmir", Found{"1"}},
        {{"İzmir"}, "izmir", Missing{}},
        // Canonically equal spellings match; a prefix never ends inside a character.
        {{"Cafe\u0301"}, "caf\u00E9", Found{"1"}},
        {{"Caf\u00E9"}, "cafe\u0301", Found{"1"}},
        {{"Cafe\u0301"}, "cafe", Missing{}},
        {{"Caf\u00E9", "Cafeteria"}, "cafe", Found{"2"}},
        // Invalid UTF-8 is compared as is, without harm.
        {{"Bad \xFF name", "Bad \xFE name"}, "bad \xFF", Found{"1"}},
        {{"Bad \xFF name", "Bad \xFE name"}, "\xC3", Missing{}},
    };
    for (const auto& row : table) {
        std::vector<NamedEntry> entries;
        for (const auto& name : row.names) {
            entries.push_back({std::to_string(entries.size() + 1), name});
        }
        EXPECT_EQ(outcome(TVLookup::resolve(row.query, entries)), outcome(row.expected))
            << "query [" << row.query << "]";
    }
    EXPECT_EQ(TVLookup::normalize(" \xE2\x80 "), "\xE2\x80");
}

}  // namespace
}  // namespace orvel

#include "core/FollowPolicy.hpp"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace orvel {
namespace {

using FollowPolicy::Candidate;

TEST(FollowPolicy, DecidesByTheTieRules) {
    const struct {
        const char* name;
        const char* current;
        bool currentPlaying;
        std::vector<Candidate> candidates;
        std::optional<std::string> expected;
    } cases[] = {
        {"empty list", "a", false, {}, std::nullopt},
        {"selected plays", "a", true, {{"b", true, 900}}, std::nullopt},
        {"selected plays, disconnected", "a", false, {{"b", true, 900}, {"a", true, 10}}, {}},
        {"only the selected TV", "a", false, {{"a", false, 0}}, std::nullopt},
        {"nobody else plays", "a", false, {{"a", false, 0}, {"b", false, 5}}, std::nullopt},
        {"latest start wins",
         "",
         false,
         {{"a", true, 100}, {"b", true, 250}, {"c", false, 900}},
         "b"},
        {"tie goes to the first", "", false, {{"a", true, 250}, {"b", true, 250}}, "a"},
        {"unknown start loses", "", false, {{"a", true, 0}, {"b", true, 3}}, "b"},
        {"idle selected TV ignored", "a", false, {{"a", false, 0}, {"b", true, 1}}, "b"},
        {"NaN start is unknown", "", false, {{"a", true, NAN}, {"b", true, 1}}, "b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FollowPolicy::target(c.current, c.currentPlaying, c.candidates), c.expected)
            << c.name;
    }
}

}  // namespace
}  // namespace orvel

#include "cli/ReplyFormat.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvel {
namespace {

using nlohmann::json;

TEST(ReplyFormat, Clock) {
    const std::pair<double, const char*> cases[] = {
        {0, "0:00"},       {75.9, "1:15"},    {3599.99, "59:59"},
        {3600, "1:00:00"}, {3725, "1:02:05"}, {360000, "100:00:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(ReplyFormat::clock(seconds), text) << seconds;
    // Values no reply can hold: any text, no crash.
    for (double odd : {std::nan(""), std::numeric_limits<double>::infinity(), -1e300, 1e300})
        EXPECT_FALSE(ReplyFormat::clock(odd).empty());
}

TEST(ReplyFormat, Describe) {
    const json base = {{"name", "Living Room"}, {"kind", "Apple TV"}, {"connected", true}};
    const std::pair<json, const char*> cases[] = {
        {json::object(), "Living Room — Apple TV"},
        {{{"playing", true}, {"title", "Evening News"}, {"app", "TV"}},
         "Living Room — Apple TV · ▶ Evening News"},
        {{{"playing", true}, {"title", ""}, {"app", "Music"}}, "Living Room — Apple TV · ▶ Music"},
        {{{"playing", true}, {"title", ""}, {"app", ""}}, "Living Room — Apple TV · ▶ "},
        {{{"playing", true}}, "Living Room — Apple TV · ▶ playing"},
        {{{"playing", "true"}, {"app", "Netflix"}}, "Living Room — Apple TV · Netflix"},
        {{{"connected", false}, {"notice", "Roku blocks it."}},
         "Living Room — Apple TV · not connected · Roku blocks it."},
        {{{"app", ""}, {"notice", ""}, {"error", ""}}, "Living Room — Apple TV"},
        {{{"connected", false}, {"error", "The helper is missing."}},
         "Living Room — Apple TV · not connected · The helper is missing."},
        {{{"notice", "Roku blocks it."}, {"error", "It failed."}},
         "Living Room — Apple TV · Roku blocks it. · It failed."},
        {{{"name", 7}, {"kind", 3}}, "? — TV"},
    };
    for (const auto& [change, line] : cases) {
        json tv = base;
        tv.update(change);
        EXPECT_EQ(ReplyFormat::describe(tv), line) << change.dump();
    }
    EXPECT_EQ(ReplyFormat::describe(json::array()), "? — TV · not connected");
}

TEST(ReplyFormat, NowPlaying) {
    const json base = {{"name", "Kitchen"}, {"connected", true}};
    const std::pair<json, const char*> cases[] = {
        {json::object(), "Nothing playing."},
        {{{"app", "Netflix"}}, "Nothing playing (Netflix)."},
        {{{"connected", false}}, "Kitchen isn't connected."},
        {{{"connected", 1}, {"name", 7}}, "TV isn't connected."},
        {{{"playing", true},
          {"title", "Morning Song"},
          {"artist", "Example Band"},
          {"app", "Music"},
          {"position", 62.7},
          {"duration", 431}},
         "▶ Morning Song — Example Band (Music) 1:02 / 7:11"},
        {{{"app", "Netflix"}, {"duration", 0}, {"title", "Paused Show"}},
         "⏸ Paused Show (Netflix)"},
        {{{"playing", true}, {"app", "Netflix"}}, "▶ Netflix"},
        {{{"duration", 3725}}, "⏸ 0:00 / 1:02:05"},
        {{{"duration", -5}, {"playing", true}}, "▶"},
        {{{"duration", "100"}, {"title", "T"}, {"artist", ""}}, "⏸ T"},
    };
    for (const auto& [change, line] : cases) {
        json tv = base;
        tv.update(change);
        EXPECT_EQ(ReplyFormat::nowPlaying(tv), line) << change.dump();
    }
}

TEST(ReplyFormat, ResultLines) {
    using Lines = std::vector<std::string>;
    const json living = {
        {"name", "Living Room"}, {"kind", "Apple TV"}, {"selected", true}, {"connected", true}};
    const json kitchen = {
        {"name", "Kitchen"}, {"kind", "Roku"}, {"selected", "true"}, {"connected", true}};
    const struct {
        const char* command;
        json reply;
        Lines lines;
    } cases[] = {
        {"tvs", {{"tvs", {living, kitchen}}}, {"* Living Room — Apple TV", "  Kitchen — Roku"}},
        {"tvs", {{"tvs", json::array()}}, {"No TVs paired. Pair one in Orvel Remote's Settings."}},
        {"tvs", {{"tvs", {living, 3}}}, {"No TVs paired. Pair one in Orvel Remote's Settings."}},
        {"tvs", json::object(), {"No TVs paired. Pair one in Orvel Remote's Settings."}},
        {"status", {{"tv", living}}, {"Living Room — Apple TV"}},
        {"status", {{"tv", "Living Room"}}, {}},
        {"nowplaying", {{"tv", living}}, {"Nothing playing."}},
        {"nowplaying", json::object(), {"TV isn't connected."}},
        {"apps", {{"apps", {{{"id", "a"}, {"name", "Netflix"}}, {{"id", "b"}}}}}, {"Netflix", "?"}},
        {"apps", {{"apps", "none"}}, {"This TV didn't list any apps."}},
        {"press", {{"ok", true}}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplyFormat::resultLines(c.command, c.reply), c.lines) << c.reply.dump();
}

TEST(ReplyFormat, JsonSortsKeysAndFallsBackToAnEmptyObject) {
    EXPECT_EQ(ReplyFormat::json({{"ok", true}, {"error", "x"}, {"a", {{"z", 1}, {"b", 2}}}}),
              R"({"a":{"b":2,"z":1},"error":"x","ok":true})");
    EXPECT_EQ(ReplyFormat::json({{"name", "\xff"}}), "{}");
}

}  // namespace
}  // namespace orvel

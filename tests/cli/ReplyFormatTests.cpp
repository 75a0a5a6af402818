#include "cli/ReplyFormat.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvel {
namespace {

using nlohmann::json;

TEST(ReplyFormat, Clock) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "0:00"},       {75.9, "1:15"},        {3599.99, "59:59"}, {3600, "1:00:00"},
        {3725, "1:02:05"}, {360000, "100:00:00"}, {-0.5, "0:-1"},  // the plain arithmetic; the app
                                                                   // never sends it
    };
    for (const auto& c : cases) EXPECT_EQ(ReplyFormat::clock(c.seconds), c.text) << c.seconds;
    // Values no reply can hold: any text, no crash.
    for (double odd : {std::nan(""), std::numeric_limits<double>::infinity(), -1e300, 1e300}) {
        EXPECT_FALSE(ReplyFormat::clock(odd).empty());
    }
}

TEST(ReplyFormat, Describe) {
    const json base = {{"name", "Living Room"}, {"kind", "Apple TV"}, {"connected", true}};
    const struct {
        json change;
        const char* line;
    } cases[] = {
        {json::object(), "Living Room — Apple TV"},
        {{{"playing", true}, {"title", "Evening News"}, {"app", "TV"}},
         "Living Room — Apple TV · ▶ Evening News"},
        {{{"playing", true}, {"title", ""}, {"app", "Music"}}, "Living Room — Apple TV · ▶ Music"},
        {{{"playing", true}, {"title", ""}, {"app", ""}}, "Living Room — Apple TV · ▶ "},
        {{{"playing", true}}, "Living Room — Apple TV · ▶ playing"},
        {{{"playing", "true"}, {"app", "Netflix"}}, "Living Room — Apple TV · Netflix"},
        {{{"app", ""}}, "Living Room — Apple TV"},
        {{{"connected", false}, {"notice", "Roku blocks it."}},
         "Living Room — Apple TV · not connected · Roku blocks it."},
        {{{"notice", ""}}, "Living Room — Apple TV"},
        {{{"name", nullptr}, {"kind", 3}}, "? — TV"},
    };
    for (const auto& c : cases) {
        json tv = base;
        tv.update(c.change);
        for (auto it = c.change.begin(); it != c.change.end(); ++it) {
            if (it->is_null()) tv.erase(it.key());
        }
        EXPECT_EQ(ReplyFormat::describe(tv), c.line) << c.change.dump();
    }
    EXPECT_EQ(ReplyFormat::describe(json::array()), "? — TV · not connected");
}

TEST(ReplyFormat, NowPlaying) {
    const json base = {{"name", "Kitchen"}, {"connected", true}};
    const struct {
        json change;
        const char* line;
    } cases[] = {
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
    for (const auto& c : cases) {
        json tv = base;
        tv.update(c.change);
        EXPECT_EQ(ReplyFormat::nowPlaying(tv), c.line) << c.change.dump();
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
        {"open", {{"ok", true}}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplyFormat::resultLines(c.command, c.reply), c.lines)
            << c.command << " " << c.reply.dump();
    }
}

TEST(ReplyFormat, JsonSortsKeysAndFallsBackToAnEmptyObject) {
    EXPECT_EQ(ReplyFormat::json({{"ok", true}, {"error", "x"}, {"a", {{"z", 1}, {"b", 2}}}}),
              R"({"a":{"b":2,"z":1},"error":"x","ok":true})");
    EXPECT_EQ(ReplyFormat::json({{"name", "\xff"}}), "{}");
}

}  // namespace
}  // namespace orvel

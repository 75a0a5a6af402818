#pragma once
// ReplyFormat: how `orvel` turns the app's replies into lines for people (or for scripts,
// with --json). Pure and total: any JSON value is accepted, missing or mistyped keys read
// as their defaults, nothing throws.
//
//   ReplyFormat::describe(tv)     // "Living Room — Apple TV · ▶ Evening News"
//   ReplyFormat::nowPlaying(tv)   // "▶ Morning Song — Example Band (Music) 1:02 / 7:11"
//
// Any thread.

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace orvel::ReplyFormat {

// Whole seconds as "m:ss", or "h:mm:ss" from an hour on: 75.9 -> "1:15", 3725 -> "1:02:05".
std::string clock(double seconds);

// One line about a TV summary: name, kind, what plays, whether it is connected, a notice.
std::string describe(const nlohmann::json& tv);

// One line about what a TV summary says is playing.
std::string nowPlaying(const nlohmann::json& tv);

// Compact JSON with sorted keys, the text of every --json line; "{}" when the value cannot
// be written (a string that is not UTF-8).
std::string json(const nlohmann::json& value);

// The lines printed for a successful reply to `command` (without --json).
std::vector<std::string> resultLines(std::string_view command, const nlohmann::json& reply);

// A watch line after its time stamp: the TV's name, ": ", then nowPlaying.
std::string watchLine(const nlohmann::json& line);

}  // namespace orvel::ReplyFormat

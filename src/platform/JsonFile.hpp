#pragma once
// JsonFile: decoding of the JSON files we keep (settings, credentials), hardened for files
// that someone else may have edited or damaged. Pure; thread-safe; never throws.

#include <cstddef>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace orvel::JsonFile {

// Deeper files are refused: copying and printing a JSON value recurses once per level.
inline constexpr std::size_t kMaxDepth = 256;

// The object that `text` holds; nothing when it is not valid JSON, not an object, or nested
// deeper than kMaxDepth.
std::optional<nlohmann::json> parseObject(std::string_view text);

// Two-space indented with a final newline, as people expect of a file they may open.
// Invalid UTF-8 in a string is written as U+FFFD rather than failing the write.
std::string encodeLenient(const nlohmann::json& value);
// The same, but nothing when a string is not valid UTF-8.
std::optional<std::string> encodeStrict(const nlohmann::json& value);

}  // namespace orvel::JsonFile

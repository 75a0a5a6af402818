#pragma once
// BoundedJson: the one way bytes from outside become JSON. Nesting is bounded before the parser
// builds anything, because copying, comparing and printing a value recurse once per level; each
// reader picks a bound far above what its own messages or files need.
//
//   auto request = BoundedJson::parseObject(line, 64);   // nothing: not a readable object
//
// Pure; never throws; usable from any thread.

#include <cstddef>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace orvel::BoundedJson {

// True when no bracket outside a string opens deeper than `maxDepth`. Invalid JSON may pass;
// the parser refuses it.
bool withinDepth(std::string_view bytes, std::size_t maxDepth);

// The value the bytes hold (surrounding white space allowed); nothing for invalid JSON or UTF-8,
// trailing bytes or nesting deeper than `maxDepth`.
std::optional<nlohmann::json> parse(std::string_view bytes, std::size_t maxDepth);

// The same, and nothing unless the value is an object.
std::optional<nlohmann::json> parseObject(std::string_view bytes, std::size_t maxDepth);

}  // namespace orvel::BoundedJson

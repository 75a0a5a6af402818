#pragma once
// UnicodeScalars: counts the Unicode scalar values of UTF-8 text, and tells text that is not
// well-formed UTF-8 (overlong forms, surrogates, values past U+10FFFF, cut-off sequences) from
// text that is. Limits on typed text count scalars, not bytes or user-perceived characters.
//
//   auto count = UnicodeScalars::count(text);   // nothing: not UTF-8
//
// Pure; usable from any thread.

#include <cstddef>
#include <optional>
#include <string_view>

namespace orvel::UnicodeScalars {

// The number of scalar values, or nothing when `text` is not well-formed UTF-8.
std::optional<std::size_t> count(std::string_view text);

}  // namespace orvel::UnicodeScalars

#pragma once
// percentEncode: the URL form of a text, for the Roku paths and app icon addresses. Every byte
// except ASCII letters, digits, '-', '_' and '.' becomes %XX (upper-case hex). Pure.

#include <string>
#include <string_view>

namespace orvel {

std::string percentEncode(std::string_view text);

}  // namespace orvel

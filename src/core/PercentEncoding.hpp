#pragma once
// percentEncode: the URL form of a text, for the Roku paths, app icon addresses and file URLs.
// Every byte except ASCII letters, digits, '-', '_', '.' and those in `alsoKept` becomes %XX
// (upper-case hex). Pure.

#include <string>
#include <string_view>

namespace orvel {

std::string percentEncode(std::string_view text, std::string_view alsoKept = {});

}  // namespace orvel

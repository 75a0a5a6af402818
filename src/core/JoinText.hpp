#pragma once
// joinText: parts with `separator` between them ("A, B, C"); empty for no parts. Pure.
//
//   joinText({"Kitchen", "Den"}, " or ")   // "Kitchen or Den"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvel {

inline std::string joinText(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (std::size_t index = 0; index < parts.size(); ++index) {
        if (index > 0) text += separator;
        text += parts[index];
    }
    return text;
}

}  // namespace orvel

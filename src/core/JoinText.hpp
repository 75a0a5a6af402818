#pragma once
// joinText: parts with `separator` between them ("A, B, C"); empty for no parts. Without a
// separator, the pieces one after the other, for sentences built from several values. Pure.
//
//   joinText({"Kitchen", "Den"}, " or ")   // "Kitchen or Den"
//   joinText({"Could not connect to ", peer, "."})

#include <cstddef>
#include <initializer_list>
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

inline std::string joinText(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text += piece;
    return text;
}

}  // namespace orvel

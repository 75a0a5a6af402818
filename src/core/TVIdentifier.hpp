#pragma once
// TVIdentifier: the one place that knows what a bridge identifier says about its TV. A Roku
// TV's identifier is "roku:" and its serial number (case-sensitive); anything else is an
// Apple TV's. Pure; usable from any thread.
//
//   if (TVIdentifier::isRoku(id)) ...;   TVIdentifier::forRoku(serial) == "roku:" + serial

#include <string>
#include <string_view>

namespace orvel::TVIdentifier {

inline constexpr std::string_view kRokuPrefix = "roku:";

inline bool isRoku(std::string_view identifier) {
    return identifier.starts_with(kRokuPrefix);
}

inline std::string forRoku(std::string_view serialNumber) {
    return std::string(kRokuPrefix) + std::string(serialNumber);
}

// "Roku" for a Roku identifier, otherwise "Apple TV".
inline std::string_view kind(std::string_view identifier) {
    return isRoku(identifier) ? "Roku" : "Apple TV";
}

}  // namespace orvel::TVIdentifier

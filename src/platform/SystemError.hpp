#pragma once
// The text of an errno value, for error sentences. Thread-safe, unlike strerror.

#include <string>
#include <system_error>

namespace orvel {

inline std::string systemErrorText(int number) {
    return std::system_category().message(number);
}

}  // namespace orvel

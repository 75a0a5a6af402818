#include "session/AppInfo.hpp"

namespace orvel::AppInfo {

namespace {

// The build passes ORVEL_VERSION as a string literal; an empty one counts as none.
#ifdef ORVEL_VERSION
constexpr std::string_view kConfigured = ORVEL_VERSION;
#else
constexpr std::string_view kConfigured;
#endif
constexpr std::string_view kFallback = "0.5.1";

}  // namespace

std::string_view version() {
    return kConfigured.empty() ? kFallback : kConfigured;
}

}  // namespace orvel::AppInfo

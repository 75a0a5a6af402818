#pragma once
// AppInfo: facts about this build that the interface shows. Pure; any thread.

#include <string_view>

namespace orvel::AppInfo {

// The project's version as the build configured it; "0.5.1" when the build set none.
std::string_view version();

}  // namespace orvel::AppInfo

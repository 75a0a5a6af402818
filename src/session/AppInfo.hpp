#pragma once
// AppInfo: facts about this build that the interface shows. Pure; any thread.

#include <string_view>

namespace orvel::AppInfo {

// The project's version as the build configured it; "0.5.1" when the build set none.
std::string_view version();

// The application's id on the desktop: its launcher entry's name, the tray item's Id and what
// the portal knows it by.
inline constexpr const char* kDesktopId = "quillon.orvel.Remote";

}  // namespace orvel::AppInfo

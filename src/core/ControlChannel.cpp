#include "core/ControlChannel.hpp"

#include "platform/AppPaths.hpp"

namespace orvel::ControlChannel {

// The XDG rules live in AppPaths, shared with the settings and credential files.
static_assert(kFolderName == AppPaths::kFolderName);

std::optional<std::string> folderPath(std::string_view xdgDataHome, std::string_view home) {
    return AppPaths::dataFolder({std::string(home), "", std::string(xdgDataHome)});
}

std::optional<std::string> socketPath(std::string_view xdgDataHome, std::string_view home) {
    auto folder = folderPath(xdgDataHome, home);
    if (!folder) return std::nullopt;
    return *folder + "/" + std::string(kSocketName);
}

std::optional<std::string> folderPath() {
    return AppPaths::dataFolder(AppPaths::processEnvironment());
}

std::optional<std::string> socketPath() {
    auto folder = folderPath();
    if (!folder) return std::nullopt;
    return *folder + "/" + std::string(kSocketName);
}

}  // namespace orvel::ControlChannel

#include "core/ControlChannel.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace orvel::ControlChannel {
namespace {

std::string_view environment(const char* name) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): see the header
    return value != nullptr ? std::string_view(value) : std::string_view();
}

std::string passwordHome() {
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

}  // namespace

std::optional<std::string> folderPath(std::string_view xdgDataHome, std::string_view home) {
    std::string base;
    // Relative values are invalid by the XDG rules and are ignored, not resolved against
    // whatever directory the process happens to run in.
    if (xdgDataHome.starts_with('/')) {
        base = xdgDataHome;
    } else if (home.starts_with('/')) {
        base = std::string(home) + "/.local/share";
    } else {
        return std::nullopt;
    }
    return base + "/" + std::string(kFolderName);
}

std::optional<std::string> socketPath(std::string_view xdgDataHome, std::string_view home) {
    auto folder = folderPath(xdgDataHome, home);
    if (!folder) return std::nullopt;
    return *folder + "/" + std::string(kSocketName);
}

std::optional<std::string> folderPath() {
    std::string home(environment("HOME"));
    if (home.empty()) home = passwordHome();
    return folderPath(environment("XDG_DATA_HOME"), home);
}

std::optional<std::string> socketPath() {
    auto folder = folderPath();
    if (!folder) return std::nullopt;
    return *folder + "/" + std::string(kSocketName);
}

}  // namespace orvel::ControlChannel

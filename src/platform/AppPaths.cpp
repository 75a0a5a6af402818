#include "platform/AppPaths.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace orvel::AppPaths {
namespace {

std::string join(const std::string& folder, const char* name) {
    if (folder.empty()) return {};
    std::string result = folder;
    while (result.size() > 1 && result.back() == '/') result.pop_back();
    if (result.back() != '/') result += '/';
    return result + name;
}

// The XDG rules ignore a relative value as invalid.
std::string baseFolder(const std::string& xdgValue, const std::string& home, const char* fallback) {
    if (!xdgValue.empty() && xdgValue.front() == '/') return xdgValue;
    return join(home, fallback);
}

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read at start
    return value ? value : "";
}

std::string passwordHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
}

}  // namespace

Environment processEnvironment() {
    Environment env;
    env.home = environmentValue("HOME");
    if (env.home.empty()) env.home = passwordHome();
    env.xdgConfigHome = environmentValue("XDG_CONFIG_HOME");
    env.xdgDataHome = environmentValue("XDG_DATA_HOME");
    return env;
}

std::string configHome(const Environment& env) {
    return baseFolder(env.xdgConfigHome, env.home, ".config");
}

std::string dataHome(const Environment& env) {
    return baseFolder(env.xdgDataHome, env.home, ".local/share");
}

std::string configFolder(const Environment& env) {
    return join(configHome(env), kFolderName);
}
std::string dataFolder(const Environment& env) {
    return join(dataHome(env), kFolderName);
}
std::string autostartFolder(const Environment& env) {
    return join(configHome(env), "autostart");
}

std::string defaultsFile(const Environment& env) {
    return join(configFolder(env), "defaults.json");
}

std::string credentialsFile(const Environment& env) {
    return join(dataFolder(env), "credentials.json");
}

std::string autostartEntryFile(const Environment& env) {
    return join(autostartFolder(env), "orvel-remote.desktop");
}

}  // namespace orvel::AppPaths

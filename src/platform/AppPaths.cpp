#include "platform/AppPaths.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace orvel::AppPaths {
namespace {

using Path = std::optional<std::string>;

Path join(const Path& folder, const char* name) {
    if (!folder) return std::nullopt;
    std::string result = *folder;
    while (result.size() > 1 && result.back() == '/') result.pop_back();
    if (result.back() != '/') result += '/';
    return result + name;
}

Path baseFolder(const std::string& xdgValue, const std::string& home, const char* fallback) {
    if (!xdgValue.empty() && xdgValue.front() == '/') return xdgValue;
    if (!home.empty() && home.front() == '/') return join(home, fallback);
    return std::nullopt;
}

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): see the header
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
    env.xdgCacheHome = environmentValue("XDG_CACHE_HOME");
    return env;
}

Path configHome(const Environment& env) {
    return baseFolder(env.xdgConfigHome, env.home, ".config");
}

Path dataHome(const Environment& env) {
    return baseFolder(env.xdgDataHome, env.home, ".local/share");
}

Path cacheHome(const Environment& env) {
    return baseFolder(env.xdgCacheHome, env.home, ".cache");
}

Path configFolder(const Environment& env) {
    return join(configHome(env), kFolderName);
}
Path dataFolder(const Environment& env) {
    return join(dataHome(env), kFolderName);
}
Path autostartFolder(const Environment& env) {
    return join(configHome(env), "autostart");
}
Path appIconFolder(const Environment& env) {
    return join(join(cacheHome(env), kFolderName), "app-icons");
}

Path defaultsFile(const Environment& env) {
    return join(configFolder(env), "defaults.json");
}

Path credentialsFile(const Environment& env) {
    return join(dataFolder(env), "credentials.json");
}

Path autostartEntryFile(const Environment& env) {
    return join(autostartFolder(env), "orvel-remote.desktop");
}

}  // namespace orvel::AppPaths

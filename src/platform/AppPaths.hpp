#pragma once
// AppPaths: where Orvel keeps its files, after the XDG base-directory rules. The one place
// that reads them; the control channel's socket folder is dataFolder() too.
//
//   auto env = AppPaths::processEnvironment();
//   Defaults defaults(AppPaths::defaultsFile(env).value_or(""));
//
// The folder functions are pure: they take the environment values, so tests never look at
// the real home folder. They give nothing when no absolute folder results (a relative XDG
// value is ignored as invalid; a relative or empty home is unusable), never a path relative
// to whatever folder the process runs in. processEnvironment() reads the process environment
// (and the password database when HOME is unset); call it at start, before threads that
// might change the environment.

#include <optional>
#include <string>

namespace orvel::AppPaths {

inline constexpr const char* kFolderName = "Orvel Remote";

struct Environment {
    std::string home;               // HOME
    std::string xdgConfigHome;      // XDG_CONFIG_HOME, empty when unset
    std::string xdgDataHome;        // XDG_DATA_HOME, empty when unset
    std::string xdgCacheHome = {};  // XDG_CACHE_HOME, empty when unset
};

Environment processEnvironment();

// XDG_CONFIG_HOME when it is absolute, else HOME/.config.
std::optional<std::string> configHome(const Environment& env);
// XDG_DATA_HOME when it is absolute, else HOME/.local/share.
std::optional<std::string> dataHome(const Environment& env);
// XDG_CACHE_HOME when it is absolute, else HOME/.cache.
std::optional<std::string> cacheHome(const Environment& env);

std::optional<std::string> configFolder(const Environment& env);     // <config home>/Orvel Remote
std::optional<std::string> dataFolder(const Environment& env);       // <data home>/Orvel Remote
std::optional<std::string> autostartFolder(const Environment& env);  // <config home>/autostart
// <cache home>/Orvel Remote/app-icons
std::optional<std::string> appIconFolder(const Environment& env);

std::optional<std::string> defaultsFile(const Environment& env);  // <config folder>/defaults.json
std::optional<std::string> credentialsFile(
    const Environment& env);  // <data folder>/credentials.json
// <autostart folder>/orvel-remote.desktop
std::optional<std::string> autostartEntryFile(const Environment& env);

}  // namespace orvel::AppPaths

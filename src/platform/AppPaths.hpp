#pragma once
// AppPaths: where Orvel keeps its files, after the XDG base-directory rules.
//
//   auto env = AppPaths::processEnvironment();
//   Defaults defaults(AppPaths::defaultsFile(env));
//
// The folder functions are pure: they take the environment values, so tests never look at
// the real home folder. processEnvironment() reads the process environment (and the password
// database when HOME is unset); call it from the main thread at start, not concurrently with
// setenv. A result is empty when no home folder can be found; writers then report an error.

#include <string>

namespace orvel::AppPaths {

inline constexpr const char* kFolderName = "Orvel Remote";

struct Environment {
    std::string home;           // HOME
    std::string xdgConfigHome;  // XDG_CONFIG_HOME, empty when unset
    std::string xdgDataHome;    // XDG_DATA_HOME, empty when unset
};

Environment processEnvironment();

// XDG_CONFIG_HOME when it is an absolute path, else HOME/.config.
std::string configHome(const Environment& env);
// XDG_DATA_HOME when it is an absolute path, else HOME/.local/share.
std::string dataHome(const Environment& env);

std::string configFolder(const Environment& env);     // <config home>/Orvel Remote
std::string dataFolder(const Environment& env);       // <data home>/Orvel Remote, kept 0700
std::string autostartFolder(const Environment& env);  // <config home>/autostart

std::string defaultsFile(const Environment& env);        // <config folder>/defaults.json
std::string credentialsFile(const Environment& env);     // <data folder>/credentials.json
std::string autostartEntryFile(const Environment& env);  // <autostart>/orvel-remote.desktop

}  // namespace orvel::AppPaths

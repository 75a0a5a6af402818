#include "shell/CommandLineInstall.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>

namespace orvel::CommandLineInstall {
namespace {

namespace fs = std::filesystem;

bool present(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

std::optional<fs::path> linkDestination(const fs::path& path) {
    std::error_code error;
    auto destination = fs::read_symlink(path, error);
    if (error) return std::nullopt;
    return destination;
}

// Each missing folder from the first existing ancestor down, one mkdir at a time, so that
// every one gets 0755 whatever the umask leaves of create_directories' 0777.
bool makeFolders(const fs::path& folder) {
    std::vector<fs::path> missing;
    for (fs::path step = folder; !step.empty() && !present(step); step = step.parent_path()) {
        missing.push_back(step);
        if (step == step.parent_path()) break;
    }
    for (auto step = missing.rbegin(); step != missing.rend(); ++step) {
        if (::mkdir(step->c_str(), 0755) == 0)
            ::chmod(step->c_str(), 0755);
        else if (errno != EEXIST)
            return false;
    }
    return true;
}

bool leftByACopy(const fs::path& link, const fs::path& destination) {
    if (destination.filename() != kLinkName) return false;
    const fs::path resolved =
        destination.is_absolute() ? destination : link.parent_path() / destination;
    std::error_code error;
    // Only a destination known to be gone counts as a moved copy; one we cannot see is not ours.
    if (fs::status(resolved, error).type() == fs::file_type::not_found) return true;
    return !error && present(resolved.parent_path() / "OrvelRemote");
}

bool installIn(const Candidate& candidate, const std::string& tool, std::string& link) {
    const fs::path folder(candidate.folder);
    if (candidate.createWhenMissing && !present(folder) && !makeFolders(folder)) return false;
    if (::access(folder.c_str(), W_OK) != 0) return false;
    const fs::path path = folder / kLinkName;
    std::error_code error;
    const bool taken = fs::symlink_status(path, error).type() != fs::file_type::not_found;
    if (taken) {
        const auto destination = linkDestination(path);
        if (!destination || !leftByACopy(path, *destination)) return false;
    }
    const fs::path fresh = folder / (".orvel." + std::to_string(::getpid()));
    fs::remove(fresh, error);
    fs::create_symlink(tool, fresh, error);
    if (error) return false;
    // rename() replaces a link atomically and refuses to replace a folder.
    if (std::rename(fresh.c_str(), path.c_str()) != 0) {
        fs::remove(fresh, error);
        return false;
    }
    link = path.string();
    return true;
}

bool onCommandPath(const std::string& commandPath, const fs::path& folder) {
    std::istringstream entries(commandPath);
    for (std::string entry; std::getline(entries, entry, ':');) {
        if (fs::path(entry).lexically_normal() == folder.lexically_normal()) return true;
    }
    return false;
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

Paths forExecutable(const std::string& executable, const AppPaths::Environment& env) {
    Paths paths;
    // Without a known program there is nothing to link to; run() then says so.
    if (!executable.empty())
        paths.tool = fs::path(executable).parent_path().string() + "/" + std::string(kLinkName);
    std::string home = env.home;
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    if (!home.empty() && home.front() == '/')
        paths.candidates.push_back({(home == "/" ? "" : home) + "/.local/bin", true});
    paths.candidates.push_back({"/usr/local/bin", false});
    return paths;
}

Paths defaults() {
    std::error_code error;
    const auto executable = fs::read_symlink("/proc/self/exe", error);
    Paths paths =
        forExecutable(error ? std::string() : executable.string(), AppPaths::processEnvironment());
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the app never changes its environment.
    if (const char* path = std::getenv("PATH")) paths.commandPath = path;
    return paths;
}

std::optional<std::string> installedPath(const Paths& paths) {
    for (const auto& candidate : paths.candidates) {
        const fs::path link = fs::path(candidate.folder) / kLinkName;
        const auto destination = linkDestination(link);
        if (destination && destination->string() == paths.tool) return link.string();
    }
    return std::nullopt;
}

std::string run(const Paths& paths, const std::function<void(std::string)>& copy) {
    if (paths.tool.empty()) return std::string(kNoToolMessage);
    for (const auto& candidate : paths.candidates) {
        std::string link;
        if (!installIn(candidate, paths.tool, link)) continue;
        std::string message =
            "Installed at " + link + ". Open a new terminal window and try orvel tvs.";
        if (!paths.commandPath.empty() && !onCommandPath(paths.commandPath, candidate.folder))
            message.append(" ")
                .append(candidate.folder)
                .append(" joins your command path when you next log in.");
        return message;
    }
    if (copy) copy(installCommand(paths.tool));
    return std::string(kCopiedMessage);
}

std::string installCommand(const std::string& tool) {
    return "sudo mkdir -p /usr/local/bin && sudo ln -sfn " + shellQuoted(tool) +
           " /usr/local/bin/orvel";
}

}  // namespace orvel::CommandLineInstall

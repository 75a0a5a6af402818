#include "session/BridgeLocation.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace orvel::BridgeLocation {

namespace {

constexpr const char* kBridgeName = "OrvelBridge";
constexpr const char* kInstalledPath = "../libexec/orvel-remote/OrvelBridge";

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> environment(const char* name) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): read on the loop thread; nothing here sets it
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

}  // namespace

std::variant<Command, std::string> locate(const Inputs& inputs) {
    if (!inputs.executableDirectory.empty()) {
        const std::filesystem::path directory(inputs.executableDirectory);
        for (const auto& candidate : {directory / kBridgeName, directory / kInstalledPath}) {
            if (isExecutableFile(candidate.string())) {
                return Command{candidate.lexically_normal().string(), {}};
            }
        }
    }
    if (inputs.python && !inputs.python->empty() && inputs.script && !inputs.script->empty()) {
        return Command{*inputs.python, {"-u", *inputs.script}};
    }
    return std::string(kMissingMessage);
}

Inputs processInputs() {
    Inputs inputs;
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) inputs.executableDirectory = executable.parent_path().string();
    inputs.python = environment("ORVEL_PYTHON");
    inputs.script = environment("ORVEL_BRIDGE");
    return inputs;
}

}  // namespace orvel::BridgeLocation

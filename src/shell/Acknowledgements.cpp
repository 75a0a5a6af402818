#include "shell/Acknowledgements.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/UniqueFd.hpp"

namespace orvel::Acknowledgements {
namespace {

std::optional<std::string> readCapped(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > kMaxFileBytes)
        return std::nullopt;
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    // A file that grows while read keeps to the size it had; one past the cap never gets here.
    while (filled < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    if (bytes.empty()) return std::nullopt;
    return bytes;
}

}  // namespace

std::string text(const std::string& executableDirectory) {
    if (executableDirectory.empty()) return std::string(kFallback);
    const std::string beside = executableDirectory + "/";
    std::string installed = beside;
    installed.append(kInstalledFolder).append("/").append(kFileName);
    for (const std::string& path : {beside + std::string(kFileName), installed}) {
        if (auto bytes = readCapped(path)) return std::move(*bytes);
    }
    return std::string(kFallback);
}

std::string executableDirectory() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : executable.parent_path().string();
}

}  // namespace orvel::Acknowledgements

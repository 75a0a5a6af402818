#include "platform/PrivateFolder.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <utility>

#include "platform/SystemError.hpp"

namespace orvel::PrivateFolder {
namespace {

Opened failed(Opened::Outcome outcome, std::string problem) {
    Opened opened;
    opened.outcome = outcome;
    opened.problem = std::move(problem);
    return opened;
}

Opened systemFailure(const char* doing, const std::string& path, int number) {
    return failed(Opened::Outcome::kFailed, std::string("Could not ") + doing + " the folder " +
                                                path + ": " + systemErrorText(number) + ".");
}

}  // namespace

Opened open(const std::string& folder, Create create) {
    if (folder.empty()) return systemFailure("open", folder, ENOENT);
    if (create == Create::kYes) {
        for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
            const std::string part = folder.substr(0, slash);
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
                return systemFailure("create", part, errno);
            if (slash == std::string::npos) break;
        }
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        if (create == Create::kNo && (errno == ENOENT || errno == ENOTDIR))
            return failed(Opened::Outcome::kMissing, "");
        return systemFailure("inspect", folder, errno);
    }
    if (S_ISLNK(info.st_mode)) {
        return failed(Opened::Outcome::kRefused,
                      "The folder " + folder + " is a symbolic link; it must be a real folder.");
    }
    if (!S_ISDIR(info.st_mode))
        return failed(Opened::Outcome::kRefused, "The path " + folder + " is not a folder.");
    Opened opened;
    // O_NOFOLLOW: a link put there since the check is refused, not followed.
    opened.fd.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!opened.fd || ::fstat(opened.fd.get(), &info) != 0)
        return systemFailure("open", folder, errno);
    if (info.st_uid != ::geteuid()) {
        return failed(Opened::Outcome::kRefused,
                      "The folder " + folder + " belongs to another user; it must be your own.");
    }
    if ((info.st_mode & 07777) != 0700 && ::fchmod(opened.fd.get(), 0700) != 0) {
        return failed(
            Opened::Outcome::kFailed,
            "The folder " + folder + " could not be made private: " + systemErrorText(errno) + ".");
    }
    opened.outcome = Opened::Outcome::kOpened;
    return opened;
}

}  // namespace orvel::PrivateFolder

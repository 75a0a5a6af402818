#include "platform/AtomicFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/UniqueFd.hpp"

namespace orvel::AtomicFile {
namespace {

std::optional<FileError> failure(const std::string& path, const char* action, int number) {
    return FileError{path, action, number};
}

std::string baseName(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<FileError> writeAll(int fd, const std::string& path, std::string_view contents) {
    while (!contents.empty()) {
        ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return failure(path, "written", errno);
        }
        contents.remove_prefix(static_cast<size_t>(written));
    }
    return std::nullopt;
}

// Unique across threads (counter) and processes (pid); O_EXCL settles the rest.
std::string temporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return folderOf(path) + "/." + baseName(path) + ".tmp-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

std::optional<FileError> renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return std::nullopt;
    if (errno != EINVAL && errno != ENOSYS) return failure(from, "moved aside", errno);
    // Filesystems without RENAME_NOREPLACE: link() also refuses to replace.
    if (::link(from.c_str(), to.c_str()) != 0) return failure(from, "moved aside", errno);
    if (::unlink(from.c_str()) != 0) return failure(from, "moved aside", errno);
    return std::nullopt;
}

}  // namespace

std::string FileError::sentence() const {
    return "\"" + path + "\" could not be " + action + ": " +
           std::system_category().message(number) + ".";
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::optional<FileError> makeFolders(const std::string& folder, mode_t mode) {
    if (folder.empty()) return failure(folder, "created", ENOENT);
    if (isFolder(folder)) return std::nullopt;
    std::string parent = folderOf(folder);
    if (parent != folder && parent != "." && parent != "/") {
        if (auto error = makeFolders(parent, mode)) return error;
    }
    if (::mkdir(folder.c_str(), mode) == 0) return std::nullopt;
    if (errno == EEXIST && isFolder(folder)) return std::nullopt;  // made by someone else
    return failure(folder, "created", errno);
}

std::optional<FileError> write(const std::string& path, std::string_view contents, Access access) {
    const mode_t mode = access == Access::OwnerOnly ? 0600 : 0666;
    std::string temporary;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temporary = temporaryName(path);
        fd.reset(
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
        if (!fd && errno != EEXIST) return failure(path, "written", errno);
    }
    if (!fd) return failure(path, "written", EEXIST);

    auto discard = [&](int number) {
        fd.reset();
        ::unlink(temporary.c_str());
        return failure(path, "written", number);
    };
    // The umask may have taken bits we need; a private file must be exactly 0600.
    if (access == Access::OwnerOnly && ::fchmod(fd.get(), mode) != 0) return discard(errno);
    if (auto error = writeAll(fd.get(), path, contents)) return discard(error->number);
    if (::fsync(fd.get()) != 0) return discard(errno);
    if (::close(fd.release()) != 0) return discard(errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) return discard(errno);

    // The rename is only durable once the folder is synced. The new contents are already in
    // place, so a failure here (some filesystems refuse fsync on folders) is not reported.
    UniqueFd folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.get());
    return std::nullopt;
}

std::optional<FileError> readDescriptor(int fd, const std::string& path, std::string& contents,
                                        std::size_t maxBytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return failure(path, "read", errno);
    if (S_ISDIR(info.st_mode)) return failure(path, "read", EISDIR);
    if (!S_ISREG(info.st_mode)) return failure(path, "read", EINVAL);
    if (static_cast<std::size_t>(info.st_size) > maxBytes) return failure(path, "read", EFBIG);

    contents.clear();
    char buffer[16384];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            return failure(path, "read", errno);
        }
        if (count == 0) return std::nullopt;
        if (contents.size() + static_cast<std::size_t>(count) > maxBytes)
            return failure(path, "read", EFBIG);
        contents.append(buffer, static_cast<std::size_t>(count));
    }
}

std::optional<FileError> read(const std::string& path, std::string& contents,
                              std::size_t maxBytes) {
    // O_NONBLOCK so that a FIFO in the file's place cannot stall the open.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) return failure(path, "read", errno);
    return readDescriptor(fd.get(), path, contents, maxBytes);
}

std::optional<FileError> moveAside(const std::string& path, std::string& movedTo) {
    movedTo.clear();
    const std::string base = path + ".corrupt";
    for (int index = 0; index < 1000; ++index) {
        std::string candidate = index == 0 ? base : base + "." + std::to_string(index);
        auto error = renameNoReplace(path, candidate);
        if (!error) {
            movedTo = candidate;
            return std::nullopt;
        }
        if (error->number == ENOENT) return std::nullopt;  // already gone
        if (error->number != EEXIST) return error;
    }
    return failure(path, "moved aside", EEXIST);
}

}  // namespace orvel::AtomicFile

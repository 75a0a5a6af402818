#pragma once
// AtomicFile: small whole-file reads and crash-safe replacements for the settings,
// credential and login-entry files.
//
//   if (auto error = AtomicFile::write(path, text, AtomicFile::Access::OwnerOnly))
//       report(error->sentence());
//
// write() puts the bytes in a fresh, uniquely named file beside the target (O_CREAT|O_EXCL),
// fsyncs it, renames it over the target and fsyncs the folder, so a reader (another process
// too) sees the old file or the new one, never a torn mix. Stateless and thread-safe; nothing
// here throws.

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvel::AtomicFile {

struct FileError {
    std::string path;
    std::string action;  // past participle: "read", "written", "created", "moved aside"
    int number = 0;      // errno
    // "\"/path\" could not be written: No space left on device."
    std::string sentence() const;
};

enum class Access {
    OwnerOnly,  // exactly 0600, whatever the umask
    Shared,     // 0666 less the umask, like any new file
};

// Creates `folder` and its missing parents with `mode` (less the umask). Existing folders,
// and links to folders, are fine.
std::optional<FileError> makeFolders(const std::string& folder, mode_t mode);

std::optional<FileError> write(const std::string& path, std::string_view contents, Access access);

// Reads a regular file of at most `maxBytes` into `contents`. A missing file is an error with
// number ENOENT; a FIFO, device or folder is refused (EINVAL, EISDIR) rather than blocking.
std::optional<FileError> read(const std::string& path, std::string& contents, std::size_t maxBytes);
// The same for an open descriptor (already checked by the caller).
std::optional<FileError> readDescriptor(int fd, const std::string& path, std::string& contents,
                                        std::size_t maxBytes);

// Renames `path` to `path.corrupt`, or `.corrupt.1`, `.corrupt.2`... when taken: never over an
// existing file. On success `movedTo` holds the new name; a missing `path` succeeds with
// `movedTo` empty.
std::optional<FileError> moveAside(const std::string& path, std::string& movedTo);

// The folder part of `path` ("." when it has none).
std::string folderOf(const std::string& path);

}  // namespace orvel::AtomicFile

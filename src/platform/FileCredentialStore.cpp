#include "platform/FileCredentialStore.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/AtomicFile.hpp"
#include "platform/JsonFile.hpp"
#include "platform/PrivateFolder.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {
namespace {

using nlohmann::json;

constexpr const char* kFileName = "credentials.json";

CredentialError failure(CredentialErrorCode code, std::string detail) {
    return CredentialError{code, std::move(detail)};
}

CredentialError systemFailure(CredentialErrorCode code, const std::string& path, int number) {
    return failure(code, path + ": " + std::system_category().message(number));
}

// Our own object, private to us: narrows a looser mode, refuses anyone else's.
std::optional<CredentialError> makePrivate(int fd, const std::string& path, mode_t privateMode) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return systemFailure(CredentialErrorCode::kReadFailed, path, errno);
    if (info.st_uid != ::geteuid())
        return failure(CredentialErrorCode::kUnsafeStorage, path + " belongs to another user");
    if ((info.st_mode & 07777) != privateMode && ::fchmod(fd, privateMode) != 0)
        return systemFailure(CredentialErrorCode::kUnsafeStorage, path, errno);
    return std::nullopt;
}

std::optional<CredentialError> takeLock(int folderFd, const std::string& folder, int lockKind) {
    while (::flock(folderFd, lockKind) != 0) {
        if (errno != EINTR) return systemFailure(CredentialErrorCode::kReadFailed, folder, errno);
    }
    return std::nullopt;
}

// The data folder, open and locked for the length of one call.
struct LockedFolder {
    UniqueFd fd;
    std::optional<CredentialError> error;
    bool missing = false;
};

LockedFolder lockFolder(const std::string& folder, bool create, int lockKind) {
    using Outcome = PrivateFolder::Opened::Outcome;
    LockedFolder result;
    auto opened = PrivateFolder::open(
        folder, create ? PrivateFolder::Create::kYes : PrivateFolder::Create::kNo);
    switch (opened.outcome) {
        case Outcome::kOpened:
            break;
        case Outcome::kMissing:
            result.missing = true;
            return result;
        case Outcome::kRefused:
            result.error = failure(CredentialErrorCode::kUnsafeStorage, opened.problem);
            return result;
        case Outcome::kFailed:
            result.error = failure(
                create ? CredentialErrorCode::kWriteFailed : CredentialErrorCode::kReadFailed,
                opened.problem);
            return result;
    }
    result.fd = std::move(opened.fd);
    if (auto error = takeLock(result.fd.get(), folder, lockKind)) result.error = error;
    return result;
}

struct StoredFile {
    json object = json::object();
    std::optional<CredentialError> error;
    // Not a credential file at all (no JSON object, too large, a folder or FIFO): set aside.
    // Links and files of other users are refused instead; someone put them there.
    bool damaged = false;
};

StoredFile damagedFile(const std::string& path, const char* what) {
    StoredFile result;
    result.damaged = true;
    result.error = failure(CredentialErrorCode::kMalformed, path + " " + what);
    return result;
}

StoredFile readFile(int folderFd, const std::string& path) {
    StoredFile result;
    UniqueFd fd(
        ::openat(folderFd, kFileName, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        if (errno == ENOENT) return result;
        result.error = systemFailure(
            errno == ELOOP ? CredentialErrorCode::kUnsafeStorage : CredentialErrorCode::kReadFailed,
            path, errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        result.error = systemFailure(CredentialErrorCode::kReadFailed, path, errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) return damagedFile(path, "is not a file");
    if (auto error = makePrivate(fd.get(), path, 0600)) {
        result.error = error;
        return result;
    }
    std::string text;
    if (auto error =
            AtomicFile::readDescriptor(fd.get(), path, text, FileCredentialStore::kMaxFileBytes)) {
        if (error->number == EFBIG) return damagedFile(path, "is too large");
        result.error = systemFailure(CredentialErrorCode::kReadFailed, path, error->number);
        return result;
    }
    if (auto decoded = JsonFile::parseObject(text)) {
        result.object = std::move(*decoded);
        return result;
    }
    return damagedFile(path, "is not a JSON object");
}

// The file, or nothing after a damaged one was moved aside; the problem is said either way.
StoredFile readSettled(int folderFd, const std::string& path, std::vector<std::string>& problems) {
    auto stored = readFile(folderFd, path);
    if (!stored.damaged) return stored;
    const std::string what = "The pairing credentials file \"" + path + "\"";
    std::string movedTo;
    if (auto error = AtomicFile::moveAside(path, movedTo)) {
        problems.push_back(what + " could not be read and could not be moved aside (" +
                           std::system_category().message(error->number) +
                           "), so TVs that need pairing cannot connect.");
        return stored;
    }
    // Its bytes are kept beside it; the TVs it held pair again.
    if (!movedTo.empty()) {
        problems.push_back(what + " could not be read, so it was moved to \"" + movedTo +
                           "\" and TVs that need pairing must be paired again.");
    }
    return StoredFile{};
}

CredentialError noFolder() {
    return failure(CredentialErrorCode::kUnavailable, "no home folder to keep the file in");
}

std::optional<CredentialSet> decodeEntry(const json& entry) {
    if (!entry.is_object()) return std::nullopt;
    CredentialSet credentials;
    for (const auto& [protocol, credential] : entry.items()) {
        if (!credential.is_string()) return std::nullopt;
        credentials.emplace(protocol, credential.get<std::string>());
    }
    return credentials;
}

}  // namespace

FileCredentialStore::FileCredentialStore(std::string folder)
    : folder_(std::move(folder)), file_(folder_ + "/" + kFileName) {}

std::string FileCredentialStore::description() const {
    return "Pairing credentials are kept in a file that only you can read: \"" + file_ + "\".";
}

CredentialLoad FileCredentialStore::load(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    if (folder_.empty()) return {{}, noFolder()};
    auto folder = lockFolder(folder_, /*create=*/false, LOCK_SH);
    if (folder.error) return {{}, folder.error};
    if (folder.missing) return {};
    auto stored = readFile(folder.fd.get(), file_);
    if (stored.damaged) {
        // Setting it aside is a change: take the lock another process would take for one.
        if (auto error = takeLock(folder.fd.get(), folder_, LOCK_EX)) return {{}, error};
        stored = readSettled(folder.fd.get(), file_, problems_);
    }
    if (stored.error) return {{}, stored.error};
    auto entry = stored.object.find(identifier);
    if (entry == stored.object.end()) return {};
    if (auto credentials = decodeEntry(*entry)) return {std::move(*credentials), std::nullopt};
    return {{},
            failure(CredentialErrorCode::kMalformed,
                    "the entry of " + identifier + " is not an object of texts")};
}

std::vector<std::string> FileCredentialStore::identifiers() {
    std::lock_guard lock(mutex_);
    if (folder_.empty()) return {};
    auto folder = lockFolder(folder_, /*create=*/false, LOCK_SH);
    if (folder.error || folder.missing) return {};
    auto stored = readFile(folder.fd.get(), file_);
    if (stored.error) return {};
    std::vector<std::string> identifiers;
    for (const auto& entry : stored.object.items()) identifiers.push_back(entry.key());
    return identifiers;
}

std::optional<CredentialError> FileCredentialStore::save(const std::string& identifier,
                                                         const CredentialSet& credentials) {
    return change(identifier, &credentials);
}

std::optional<CredentialError> FileCredentialStore::remove(const std::string& identifier) {
    return change(identifier, nullptr);
}

std::vector<std::string> FileCredentialStore::takeProblems() {
    std::lock_guard lock(mutex_);
    return std::exchange(problems_, {});
}

std::optional<CredentialError> FileCredentialStore::change(const std::string& identifier,
                                                           const CredentialSet* credentials) {
    std::lock_guard lock(mutex_);
    if (folder_.empty()) return noFolder();
    // Nothing to remove from a folder that does not exist; do not create it for that.
    auto folder = lockFolder(folder_, /*create=*/credentials != nullptr, LOCK_EX);
    if (folder.error) return folder.error;
    if (folder.missing) return std::nullopt;

    auto stored = readSettled(folder.fd.get(), file_, problems_);
    if (stored.damaged) {
        return failure(CredentialErrorCode::kWriteFailed, file_ + " could not be moved aside");
    }
    if (stored.error) return stored.error;

    if (credentials) {
        stored.object[identifier] = *credentials;
    } else if (stored.object.erase(identifier) == 0) {
        return std::nullopt;
    }
    auto text = JsonFile::encodeStrict(stored.object);
    if (!text) return failure(CredentialErrorCode::kEncodingFailed, "a text is not valid UTF-8");
    if (auto error = AtomicFile::write(file_, *text, AtomicFile::Access::OwnerOnly))
        return systemFailure(CredentialErrorCode::kWriteFailed, file_, error->number);
    return std::nullopt;
}

}  // namespace orvel

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

// The data folder, open and locked for the length of one call.
struct LockedFolder {
    UniqueFd fd;
    std::optional<CredentialError> error;
    bool missing = false;
};

LockedFolder lockFolder(const std::string& folder, bool create, int lockKind) {
    LockedFolder result;
    if (create) {
        if (auto error = AtomicFile::makeFolders(folder, 0700)) {
            result.error = systemFailure(CredentialErrorCode::kWriteFailed, folder, error->number);
            return result;
        }
    }
    result.fd.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!result.fd) {
        if ((errno == ENOENT || errno == ENOTDIR) && !create)
            result.missing = true;
        else
            result.error = systemFailure(CredentialErrorCode::kReadFailed, folder, errno);
        return result;
    }
    if (auto error = makePrivate(result.fd.get(), folder, 0700)) {
        result.error = error;
        return result;
    }
    while (::flock(result.fd.get(), lockKind) != 0) {
        if (errno != EINTR) {
            result.error = systemFailure(CredentialErrorCode::kReadFailed, folder, errno);
            return result;
        }
    }
    return result;
}

struct StoredFile {
    json object = json::object();
    std::optional<CredentialError> error;
    bool malformed = false;  // error is kMalformed for the file as a whole
};

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
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        result.error = failure(CredentialErrorCode::kUnsafeStorage, path + " is not a file");
        return result;
    }
    if (auto error = makePrivate(fd.get(), path, 0600)) {
        result.error = error;
        return result;
    }
    std::string text;
    if (auto error =
            AtomicFile::readDescriptor(fd.get(), path, text, FileCredentialStore::kMaxFileBytes)) {
        if (error->number != EFBIG) {
            result.error = systemFailure(CredentialErrorCode::kReadFailed, path, error->number);
            return result;
        }
    } else if (auto decoded = JsonFile::parseObject(text)) {
        result.object = std::move(*decoded);
        return result;
    }
    result.malformed = true;
    result.error = failure(CredentialErrorCode::kMalformed, path + " is not a JSON object");
    return result;
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

std::optional<CredentialError> FileCredentialStore::change(const std::string& identifier,
                                                           const CredentialSet* credentials) {
    std::lock_guard lock(mutex_);
    if (folder_.empty()) return noFolder();
    // Nothing to remove from a folder that does not exist; do not create it for that.
    auto folder = lockFolder(folder_, /*create=*/credentials != nullptr, LOCK_EX);
    if (folder.error) return folder.error;
    if (folder.missing) return std::nullopt;

    auto stored = readFile(folder.fd.get(), file_);
    if (stored.malformed) {
        // Its bytes are kept beside it; the TVs it held pair again.
        std::string movedTo;
        if (auto error = AtomicFile::moveAside(file_, movedTo))
            return systemFailure(CredentialErrorCode::kWriteFailed, file_, error->number);
        stored = StoredFile{};
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

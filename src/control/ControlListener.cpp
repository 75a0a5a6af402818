#include "control/ControlListener.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <utility>

#include "platform/SystemError.hpp"

namespace orvel {
namespace {

// Creates `folder` and its missing parents (0700), then makes sure it is a real folder of
// ours and owner-only.
Result<void> prepareFolder(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return Failure{"Could not create the folder " + part + ": " + systemErrorText(errno) +
                           "."};
        }
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return Failure{"Could not inspect the folder " + folder + ": " + systemErrorText(errno) +
                       "."};
    }
    if (S_ISLNK(info.st_mode)) {
        return Failure{"The folder " + folder + " is a symbolic link; it must be a real folder."};
    }
    if (!S_ISDIR(info.st_mode)) return Failure{"The path " + folder + " is not a folder."};
    // Through a descriptor, so the folder checked is the folder changed.
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir || ::fstat(dir.get(), &info) != 0) {
        return Failure{"Could not open the folder " + folder + ": " + systemErrorText(errno) + "."};
    }
    if (info.st_uid != ::geteuid()) {
        return Failure{"The folder " + folder + " belongs to another user; it must be your own."};
    }
    ::fchmod(dir.get(), 0700);
    return {};
}

// The profile's lock, held exclusively until the descriptor goes. Kept in a file of its own:
// the socket file is replaced and removed, and a lock on a removed file guards nothing.
Result<UniqueFd> lockProfile(const std::string& folder) {
    const std::string path = folder + "/control.lock";
    UniqueFd lock(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock) {
        return Failure{"Could not open the lock file " + path + ": " + systemErrorText(errno) +
                       "."};
    }
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) == 0) return lock;
    if (errno == EWOULDBLOCK) return Failure{ControlListener::kAlreadyRunning};
    return Failure{"Could not lock the file " + path + ": " + systemErrorText(errno) + "."};
}

// Whether a program listens at `address`; a socket file nobody answers on is stale.
bool answers(const sockaddr_un& address, socklen_t length) {
    const UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!probe) return false;
    if (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0) {
        return true;
    }
    return errno == EAGAIN;  // listening, with a full backlog
}

}  // namespace

ControlListener::ControlListener(ControlListener&& other) noexcept
    : fd_(std::move(other.fd_)),
      lock_(std::move(other.lock_)),
      path_(std::move(other.path_)),
      device_(other.device_),
      inode_(other.inode_) {}

ControlListener& ControlListener::operator=(ControlListener&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::move(other.fd_);
        lock_ = std::move(other.lock_);
        path_ = std::move(other.path_);
        device_ = other.device_;
        inode_ = other.inode_;
    }
    return *this;
}

Result<ControlListener> ControlListener::open(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t slash = path.rfind('/');
    if (path.empty() || path.front() != '/' || slash == 0 || slash + 1 == path.size() ||
        path.find('\0') != std::string::npos) {
        return Failure{"The socket path " + path + " is not a file path inside a folder."};
    }
    if (path.size() >= sizeof(address.sun_path)) {
        return Failure{"The socket path " + path + " is too long (" + std::to_string(path.size()) +
                       " bytes; at most " + std::to_string(sizeof(address.sun_path) - 1) +
                       " fit)."};
    }
    const std::string folder = path.substr(0, slash);
    if (auto prepared = prepareFolder(folder); !prepared) return Failure{prepared.error()};
    auto lock = lockProfile(folder);
    if (!lock) return Failure{lock.error()};
    std::memcpy(address.sun_path, path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);

    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
        // An app without the lock (an older build) may still be serving there.
        if (answers(address, length)) return Failure{kAlreadyRunning};
        ::unlink(path.c_str());
    }

    ControlListener listener;
    listener.lock_ = std::move(*lock);
    listener.fd_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener.fd_) {
        return Failure{"Could not create a socket: " + systemErrorText(errno) + "."};
    }
    // The mask is process-wide: changed only around bind, so the file is born 0600.
    const mode_t previous = ::umask(0177);
    int result = ::bind(listener.fd_.get(), reinterpret_cast<const sockaddr*>(&address), length);
    const int bindError = errno;
    ::umask(previous);
    if (result != 0) {
        return Failure{"Could not listen at " + path + ": " + systemErrorText(bindError) + "."};
    }
    listener.path_ = path;
    if (::lstat(path.c_str(), &info) == 0) {
        listener.device_ = info.st_dev;
        listener.inode_ = info.st_ino;
    }
    if (::listen(listener.fd_.get(), kBacklog) != 0) {
        // The listener's destructor removes the file.
        return Failure{"Could not listen at " + path + ": " + systemErrorText(errno) + "."};
    }
    return listener;
}

void ControlListener::close() {
    if (fd_) {
        fd_.reset();
        struct stat info {};
        if (::lstat(path_.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) &&
            info.st_dev == device_ && info.st_ino == inode_) {
            ::unlink(path_.c_str());
        }
    }
    lock_.reset();  // only now, so that the next instance finds no socket of ours
}

}  // namespace orvel

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

#include "platform/PrivateFolder.hpp"
#include "platform/SystemError.hpp"

namespace orvel {
namespace {

// The profile's lock, held exclusively until the descriptor goes. Kept in a file of its own:
// the socket file is replaced and removed, and a lock on a removed file guards nothing.
Result<UniqueFd> lockProfile(int folderFd, const std::string& folder) {
    const std::string path = folder + "/control.lock";
    UniqueFd lock(
        ::openat(folderFd, "control.lock", O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
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
    const std::string folderPath = path.substr(0, slash);
    auto folder = PrivateFolder::open(folderPath, PrivateFolder::Create::kYes);
    if (!folder.fd) return Failure{folder.problem};
    auto lock = lockProfile(folder.fd.get(), folderPath);
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

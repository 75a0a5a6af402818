#pragma once
// ControlListener: the listening socket at the control path and the file it is bound to.
// open() makes the folder owner-only (0700), takes the profile's lock ("control.lock" beside
// the socket) for the listener's life, replaces a socket file left by a crashed run, binds
// with permissions 0600 and listens. One instance per profile: while another listener holds
// the lock, or answers on the socket, open() fails with kAlreadyRunning and touches nothing.
// It refuses a folder that is a symbolic link or belongs to another user rather than
// changing its permissions, and leaves any other file at the path alone. close() removes the
// socket file, unless another program has put its own file there since, then frees the lock.
//
//   auto listener = ControlListener::open(path);
//   if (!listener) log(listener.error());   // one sentence
//
// Move-only; one owner (ControlServer). The descriptor is non-blocking and close-on-exec.

#include <sys/types.h>

#include <string>

#include "platform/Result.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {

class ControlListener {
public:
    static constexpr int kBacklog = 8;
    static constexpr const char* kAlreadyRunning = "Orvel Remote is already running.";

    ControlListener() = default;
    ControlListener(ControlListener&& other) noexcept;
    ControlListener& operator=(ControlListener&& other) noexcept;
    ~ControlListener() { close(); }

    static Result<ControlListener> open(const std::string& path);

    explicit operator bool() const { return static_cast<bool>(fd_); }
    int fd() const { return fd_.get(); }
    const std::string& path() const { return path_; }
    void close();

private:
    UniqueFd fd_;
    UniqueFd lock_;  // flock held while listening; the file itself stays
    std::string path_;
    dev_t device_ = 0;  // identity of the socket file we bound, checked before unlinking
    ino_t inode_ = 0;
};

}  // namespace orvel

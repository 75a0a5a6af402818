#include "platform/ChildProcess.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SystemError.hpp"

// Launch failures are reported by posix_spawn itself: since glibc 2.24 it starts the child
// with CLONE_VFORK and hands an exec error back as its own return value, reaping the child.
// That is the exec-error pipe done inside libc, and unlike an access(X_OK) check beforehand
// it has no race and judges exactly as execve does (a script whose interpreter is missing,
// a directory, a file on a noexec mount).
#if defined(__GLIBC__) && (__GLIBC__ < 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ < 24))
#error "posix_spawn must report exec failures: glibc 2.24 or later is needed"
#endif

extern char** environ;

namespace orvel {

namespace {

std::string launchFailure(const std::string& executable, int error) {
    return "The program " + executable + " could not be started (" + systemErrorText(error) + ").";
}

// The child's ends must not sit on 0-2, or one dup2 action could overwrite the source of
// the next (and dup2 onto itself would keep FD_CLOEXEC).
int liftAboveStdio(UniqueFd& fd) {
    if (fd.get() > STDERR_FILENO) return 0;
    int lifted = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (lifted < 0) return errno;
    fd.reset(lifted);
    return 0;
}

struct FileActions {
    posix_spawn_file_actions_t actions;
    int error = posix_spawn_file_actions_init(&actions);
    ~FileActions() {
        if (error == 0) posix_spawn_file_actions_destroy(&actions);
    }
};

struct Attributes {
    posix_spawnattr_t attributes;
    int error = posix_spawnattr_init(&attributes);
    ~Attributes() {
        if (error == 0) posix_spawnattr_destroy(&attributes);
    }
};

}  // namespace

Result<std::unique_ptr<ChildProcess>> ChildProcess::spawn(const std::string& executable,
                                                          const std::vector<std::string>& arguments,
                                                          Errors errors) {
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0) {
        return Failure{launchFailure(executable, errno)};
    }
    UniqueFd childInput(input[0]);
    UniqueFd parentInput(input[1]);
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        return Failure{launchFailure(executable, errno)};
    }
    UniqueFd parentOutput(output[0]);
    UniqueFd childOutput(output[1]);
    UniqueFd parentErrors, childErrors;
    if (errors == Errors::pipe) {
        int pipeErrors[2];
        if (::pipe2(pipeErrors, O_CLOEXEC) != 0) {
            return Failure{launchFailure(executable, errno)};
        }
        parentErrors.reset(pipeErrors[0]);
        childErrors.reset(pipeErrors[1]);
        if (int e = liftAboveStdio(childErrors); e != 0) {
            return Failure{launchFailure(executable, e)};
        }
    }
    if (int e = liftAboveStdio(childInput); e != 0) {
        return Failure{launchFailure(executable, e)};
    }
    if (int e = liftAboveStdio(childOutput); e != 0) {
        return Failure{launchFailure(executable, e)};
    }

    FileActions files;
    Attributes attributes;
    int e = files.error ? files.error : attributes.error;
    // dup2 clears FD_CLOEXEC on the copies; every other descriptor of ours is O_CLOEXEC.
    if (e == 0) e = posix_spawn_file_actions_adddup2(&files.actions, childInput.get(), 0);
    if (e == 0) e = posix_spawn_file_actions_adddup2(&files.actions, childOutput.get(), 1);
    if (e == 0 && childErrors) {
        e = posix_spawn_file_actions_adddup2(&files.actions, childErrors.get(), 2);
    } else if (e == 0) {
        e = posix_spawn_file_actions_addopen(&files.actions, 2, "/dev/null", O_WRONLY, 0);
    }
    // Libraries do not all open theirs close-on-exec (libcurl's socket pairs): the child gets
    // its three and nothing else.
    if (e == 0) e = posix_spawn_file_actions_addclosefrom_np(&files.actions, 3);
    // We ignore SIGPIPE and that would be inherited; the child also must not inherit
    // whatever the spawning thread happens to block.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigset_t mask;
    sigemptyset(&mask);
    if (e == 0) e = posix_spawnattr_setsigdefault(&attributes.attributes, &defaults);
    if (e == 0) e = posix_spawnattr_setsigmask(&attributes.attributes, &mask);
    if (e == 0) {
        e = posix_spawnattr_setflags(&attributes.attributes,
                                     POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    if (e != 0) {
        return Failure{launchFailure(executable, e)};
    }

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    e = posix_spawn(&pid, executable.c_str(), &files.actions, &attributes.attributes, argv.data(),
                    environ);
    if (e != 0) {
        return Failure{launchFailure(executable, e)};
    }
    return std::unique_ptr<ChildProcess>(new ChildProcess(
        pid, std::move(parentInput), std::move(parentOutput), std::move(parentErrors)));
}

ChildProcess::~ChildProcess() {
    if (reaped_) return;
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
    }
}

bool ChildProcess::isRunning() {
    if (reaped_) return false;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid_, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return true;
    // ECHILD means someone else reaped it (SIGCHLD ignored); either way the pid is no
    // longer ours to signal.
    reaped_ = true;
    if (result == pid_) status_ = status;
    return false;
}

void ChildProcess::signal(int signo) {
    // Until we reap it the pid cannot be reused, so this never hits a stranger.
    if (!reaped_) ::kill(pid_, signo);
}

}  // namespace orvel

#pragma once
// ChildProcess: a launched program with its stdin and stdout on O_CLOEXEC pipes and its stderr
// on /dev/null (or, when asked, on a third pipe). It inherits our environment and working
// directory; SIGPIPE is reset to the default in the child. No SIGCHLD handler: the child is reaped by isRunning() (waitpid with
// WNOHANG) and, if still running at destruction, killed and reaped there. Never leaves a zombie.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Result.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {

class ChildProcess {
public:
    // What becomes of the child's standard error: /dev/null, or a pipe the caller takes.
    enum class Errors { discard, pipe };

    // Launches `executable` with `arguments` (argv[0] is the executable path); on failure,
    // one sentence naming the program and the reason.
    static Result<std::unique_ptr<ChildProcess>> spawn(const std::string& executable,
                                                       const std::vector<std::string>& arguments,
                                                       Errors errors = Errors::discard);
    ~ChildProcess();  // SIGKILL and a blocking reap if still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The parent's ends of the pipes; the caller takes ownership (once).
    UniqueFd takeStdin() { return std::move(stdin_); }
    UniqueFd takeStdout() { return std::move(stdout_); }
    // Empty unless spawned with Errors::pipe.
    UniqueFd takeStderr() { return std::move(stderr_); }

    // Reaps the child if it has exited. Main thread only.
    bool isRunning();
    // Sends `signo` if the child has not been reaped. Main thread only.
    void signal(int signo);
    // Exit status as waitpid reported it, once reaped; -1 before.
    int waitStatus() const { return status_; }

private:
    ChildProcess(pid_t pid, UniqueFd in, UniqueFd out, UniqueFd err)
        : pid_(pid), stdin_(std::move(in)), stdout_(std::move(out)), stderr_(std::move(err)) {}

    pid_t pid_;
    bool reaped_ = false;
    int status_ = -1;
    UniqueFd stdin_;
    UniqueFd stdout_;
    UniqueFd stderr_;
};

}  // namespace orvel

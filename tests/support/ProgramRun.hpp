#pragma once
// Running built programs from tests: one run to its end with its output collected, or a
// long-running program with its output in a file, killed and reaped when the test lets go.
// Waits are bounded in real time; nothing sleeps a fixed time.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "ChildProcesses.hpp"

extern char** environ;

namespace orvel::test {

struct ProgramRun {
    std::string out;
    std::string err;
    int status = -1;  // exit status; -1 when killed by a signal or not started
};

inline std::vector<char*> argumentVector(std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    return argv;
}

// Runs `program` with the arguments to its end; kills it if it has not ended after `seconds`.
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                             double seconds = 10.0) {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    auto argv = argumentVector(words);
    int outPipe[2], errPipe[2];
    ProgramRun run;
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return run;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    int fds[2] = {outPipe[0], errPipe[0]};
    if (spawned != 0) {
        ADD_FAILURE() << "could not start " << program;
        ::close(fds[0]);
        ::close(fds[1]);
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (fds[0] >= 0 || fds[1] >= 0) {
        pollfd polled[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ::poll(polled, 2, static_cast<int>(left.count())) <= 0) {
            ADD_FAILURE() << program << " did not end in time";
            ::kill(pid, SIGKILL);
            break;
        }
        for (int index : {0, 1}) {
            if (polled[index].revents == 0) continue;
            char chunk[4096];
            const ssize_t got = ::read(fds[index], chunk, sizeof chunk);
            if (got > 0) {
                (index == 0 ? run.out : run.err).append(chunk, static_cast<std::size_t>(got));
            } else {
                ::close(fds[index]);
                fds[index] = -1;
            }
        }
    }
    for (int fd : fds)
        if (fd >= 0) ::close(fd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// A program left running, its standard output and error appended to `logFile`.
class RunningProgram {
public:
    RunningProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& logFile) {
        std::vector<std::string> words{program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        auto argv = argumentVector(words);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~RunningProgram() {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void signal(int signo) const {
        if (status_ < 0) ::kill(pid_, signo);
    }
    bool running() {
        if (status_ >= 0) return false;
        int status = 0;
        const pid_t got = ::waitpid(pid_, &status, WNOHANG);
        if (got == 0) return true;
        status_ = got == pid_ ? status : 0;
        return false;
    }
    // Waits up to `seconds` for the program to end; its waitpid status, or -1 if it runs on.
    int waitForExit(double seconds) {
        eventually([&] { return !running(); }, seconds);
        return status_;
    }

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

}  // namespace orvel::test

#include "platform/ChildProcess.hpp"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

#include "../support/ControlClient.hpp"
#include "../support/ProcessInspection.hpp"
#include "../support/ScratchDir.hpp"
#include "../support/Waiting.hpp"
#include "platform/Signals.hpp"

namespace orvel {
namespace {

// Reads until end of file, waiting at most 10 s.
std::string readAll(UniqueFd fd) {
    test::Client stream(std::move(fd));
    std::string text = stream.readAll(10);
    EXPECT_TRUE(stream.ended()) << "no end of file within the time-out";
    return text;
}

// Waits until `pid` has ended; ChildProcess has not reaped it yet.
bool exited(pid_t pid) {
    return test::eventually([pid] { return test::processState(pid) == 'Z'; });
}

std::unique_ptr<ChildProcess> spawnOrFail(
    const std::string& path, const std::vector<std::string>& args,
    ChildProcess::Errors errors = ChildProcess::Errors::discard) {
    auto child = ChildProcess::spawn(path, args, errors);
    if (!child) {
        ADD_FAILURE() << child.error();
        return nullptr;
    }
    return std::move(*child);
}

TEST(ChildProcess, EchoesThroughCatAndReportsItsExitOrItsSignal) {
    auto child = spawnOrFail("/bin/cat", {});
    ASSERT_TRUE(child);
    UniqueFd in = child->takeStdin();
    UniqueFd out = child->takeStdout();
    ASSERT_TRUE(in && out);
    EXPECT_FALSE(child->takeStdin());  // taken once
    const std::string text = "hello\nsecond line\n";
    ASSERT_EQ(::write(in.get(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
    EXPECT_TRUE(child->isRunning());
    in.reset();  // end of file for cat
    EXPECT_EQ(readAll(std::move(out)), text);
    ASSERT_TRUE(exited(child->pid()));
    EXPECT_FALSE(child->isRunning());
    EXPECT_TRUE(WIFEXITED(child->waitStatus()));
    EXPECT_EQ(WEXITSTATUS(child->waitStatus()), 0);
    EXPECT_TRUE(test::reaped(child->pid()));

    auto signalled = spawnOrFail("/bin/cat", {});
    ASSERT_TRUE(signalled);
    EXPECT_EQ(signalled->waitStatus(), -1);
    signalled->signal(SIGTERM);
    ASSERT_TRUE(exited(signalled->pid()));
    EXPECT_FALSE(signalled->isRunning());
    EXPECT_TRUE(WIFSIGNALED(signalled->waitStatus()));
    EXPECT_EQ(WTERMSIG(signalled->waitStatus()), SIGTERM);
    signalled->signal(SIGKILL);  // harmless once reaped
}

std::string writeFile(const test::ScratchDir& dir, const std::string& name,
                      const std::string& content, mode_t mode) {
    test::ScratchDir::write(dir / name, content);
    ::chmod((dir / name).c_str(), mode);
    return dir / name;
}

TEST(ChildProcess, LaunchFailuresAreErrorsAndLeaveNoChild) {
    test::ScratchDir folder;
    auto refused = [](const std::string& path, const char* reason) {
        return std::pair{path, "The program " + path + " could not be started (" + reason + ")."};
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        refused("/nonexistent/OrvelBridge", "No such file or directory"),
        refused(writeFile(folder, "plain", "data\n", 0644), "Permission denied"),
        refused(folder.path(), "Permission denied"),
        // access(X_OK) would pass this one; only exec knows the interpreter is missing.
        refused(writeFile(folder, "script", "#!/nonexistent/interpreter\n", 0755),
                "No such file or directory"),
    };
    for (const auto& [path, sentence] : cases) {
        auto child = ChildProcess::spawn(path, {"arg"});
        ASSERT_FALSE(child) << path;
        EXPECT_EQ(child.error(), sentence);
        errno = 0;
        EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << path << ": a child was left behind";
        EXPECT_EQ(errno, ECHILD);
    }
}

TEST(ChildProcess, DestructionKillsAndReapsWhateverStateTheChildIsIn) {
    // Running and blocked on its input; and exited but not yet reaped.
    for (const char* program : {"/bin/cat", "/bin/true"}) {
        auto child = spawnOrFail(program, {});
        ASSERT_TRUE(child);
        const pid_t pid = child->pid();
        if (std::string(program) == "/bin/true") {
            ASSERT_TRUE(exited(pid));
        }
        child.reset();
        EXPECT_TRUE(test::reaped(pid)) << program;
    }
}

TEST(ChildProcess, ManySpawnsLeakNoDescriptor) {
    const int before = test::procEntries(getpid(), "fd");
    for (int i = 0; i < 200; ++i) {
        auto child = spawnOrFail(
            "/bin/cat", {}, i % 3 ? ChildProcess::Errors::discard : ChildProcess::Errors::pipe);
        ASSERT_TRUE(child);
        if (i % 2) UniqueFd in = child->takeStdin();  // taken and closed by us
        ASSERT_FALSE(ChildProcess::spawn("/nonexistent", {}));
    }
    EXPECT_EQ(test::procEntries(getpid(), "fd"), before);
}

std::string pipeName(const UniqueFd& fd) {
    struct stat info {};
    return ::fstat(fd.get(), &info) == 0 ? "pipe:[" + std::to_string(info.st_ino) + "]" : "none";
}

TEST(ChildProcess, ChildGetsThePipesAndDevNullAndNothingElseOfOurs) {
    for (auto errors : {ChildProcess::Errors::discard, ChildProcess::Errors::pipe}) {
        auto child = spawnOrFail("/usr/bin/readlink",
                                 {"/proc/self/fd/0", "/proc/self/fd/1", "/proc/self/fd/2"}, errors);
        ASSERT_TRUE(child);
        UniqueFd in = child->takeStdin();
        UniqueFd out = child->takeStdout();
        UniqueFd err = child->takeStderr();
        EXPECT_EQ(!!err, errors == ChildProcess::Errors::pipe);
        EXPECT_FALSE(child->takeStderr());  // taken once
        const std::string names =
            pipeName(in) + "\n" + pipeName(out) + "\n" + (err ? pipeName(err) : "/dev/null") + "\n";
        EXPECT_EQ(readAll(std::move(out)), names);
    }

    // Not even what a library opened without close-on-exec reaches the child.
    int leaky[2];
    ASSERT_EQ(::pipe(leaky), 0);
    auto lister = spawnOrFail("/bin/ls", {"/proc/self/fd"});
    ::close(leaky[0]);
    ::close(leaky[1]);
    ASSERT_TRUE(lister);
    std::istringstream lines(readAll(lister->takeStdout()));
    std::vector<int> extra;
    for (int fd; lines >> fd;) {
        if (fd > 2) extra.push_back(fd);
    }
    EXPECT_LE(extra.size(), 1u) << "only the listing's own directory handle may be extra";
}

// Reads a hexadecimal mask line ("SigIgn:", "SigBlk:") of a /proc status text.
unsigned long long statusMask(const std::string& status, const std::string& key) {
    auto at = status.find("\n" + key);
    if (at == std::string::npos) return ~0ULL;
    return std::stoull(status.substr(at + key.size() + 1), nullptr, 16);
}

TEST(ChildProcess, ChildStartsWithDefaultSigpipeAndNoBlockedSignals) {
    struct sigaction previous {};
    sigaction(SIGPIPE, nullptr, &previous);
    ignoreSigpipe();
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    sigset_t oldMask;
    pthread_sigmask(SIG_BLOCK, &blocked, &oldMask);
    const unsigned long long sigpipeBit = 1ULL << (SIGPIPE - 1);

    EXPECT_NE(statusMask(test::ScratchDir::read("/proc/self/status"), "SigIgn:") & sigpipeBit, 0u);

    auto child = spawnOrFail("/bin/cat", {"/proc/self/status"});
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    sigaction(SIGPIPE, &previous, nullptr);
    ASSERT_TRUE(child);
    const std::string status = readAll(child->takeStdout());
    EXPECT_EQ(statusMask(status, "SigIgn:") & sigpipeBit, 0u) << status;
    EXPECT_EQ(statusMask(status, "SigBlk:"), 0u) << status;
}

}  // namespace
}  // namespace orvel

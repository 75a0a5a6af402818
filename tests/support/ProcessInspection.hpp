#pragma once
// What /proc says about a process: its descriptors and threads, its state, its children by
// command name, and the name of the calling thread. For tests that check what real programs leave behind.

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::test {

// Entries of /proc/<pid>/<folder> ("fd", "task"), without "." and "..".
inline int procEntries(pid_t pid, const char* folder) {
    const std::string path = "/proc/" + std::to_string(pid) + "/" + folder;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(dir))  // NOLINT(concurrency-mt-unsafe): own stream
        if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
    return count;
}

// "pid (name) state ppid ..." of /proc/<pid>/stat; empty when there is no such process. Read
// with plain calls: a process that ends meanwhile fails the read with ESRCH, which a stream
// would turn into an exception.
inline std::string statOf(const std::string& pid) {
    const int fd = ::open(("/proc/" + pid + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char stat[512] = {};
    const ssize_t size = ::read(fd, stat, sizeof stat - 1);
    ::close(fd);
    return size > 0 ? stat : "";
}

// The state letter of `pid` ('Z' for a zombie, one that ended unreaped); '\0' when it is gone.
inline char processState(pid_t pid) {
    const std::string stat = statOf(std::to_string(pid));
    const auto close = stat.rfind(") ");
    return close == std::string::npos || close + 2 >= stat.size() ? '\0' : stat[close + 2];
}

// Ended and reaped: gone from /proc, and no child of ours to wait for.
inline bool reaped(pid_t pid) {
    errno = 0;
    return processState(pid) == '\0' && ::waitpid(pid, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// Live (not zombie) children of `parent` whose command name is `name`.
inline std::vector<pid_t> childrenNamed(pid_t parent, const std::string& name) {
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (!proc) return found;
    while (dirent* entry = ::readdir(proc)) {  // NOLINT(concurrency-mt-unsafe): own stream
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        const std::string stat = statOf(entry->d_name);
        const auto close = stat.rfind(')');
        char state = 0;
        int ppid = 0;
        if (close != std::string::npos &&
            std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent &&
            state != 'Z' && std::string_view(stat).substr(0, close).ends_with("(" + name)) {
            found.push_back(pid);
        }
    }
    ::closedir(proc);
    return found;
}

inline std::string currentThreadName() {
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

}  // namespace orvel::test

#pragma once
// What /proc says about a process: its descriptors and threads, its children by command name,
// and the name of the calling thread. For tests that check what real programs leave behind.

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// Live (not zombie) children of `parent` whose command name is `name`.
inline std::vector<pid_t> childrenNamed(pid_t parent, const std::string& name) {
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (!proc) return found;
    while (dirent* entry = ::readdir(proc)) {  // NOLINT(concurrency-mt-unsafe): own stream
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        // Read with plain calls: a process that ends meanwhile fails the read with ESRCH,
        // which a stream would turn into an exception.
        const std::string path = "/proc/" + std::string(entry->d_name) + "/stat";
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        char stat[512] = {};  // "pid (name) state ppid ..."
        const ssize_t size = ::read(fd, stat, sizeof stat - 1);
        ::close(fd);
        const char* close = size > 0 ? std::strrchr(stat, ')') : nullptr;
        char state = 0;
        int ppid = 0;
        if (close && std::sscanf(close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent &&
            state != 'Z' && std::string_view(stat, close).ends_with("(" + name)) {
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

#include "control/ControlStream.hpp"

#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace orvel {
namespace {

// Threads of this process named `name`.
int threadsNamed(const std::string& name) {
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks) return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string text;
        if (std::getline(comm, text) && text == name) ++count;
    }
    ::closedir(tasks);
    return count;
}

// The app may hold a finished stream until the watched TV next changes; its thread must not
// wait that long.
TEST(ControlStream, FinishWritesWhatIsQueuedEndsItsThreadAndLaterSendsDoNothing) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    UniqueFd client(pair[0]);
    const int before = threadsNamed("orvel.watch");
    ControlStream stream{UniqueFd(pair[1])};
    stream.send({{"ok", true}});

    pollfd ready{client.get(), POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 5000), 1);
    char buffer[64];
    const auto n = ::read(client.get(), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), "{\"ok\":true}\n");
    EXPECT_EQ(threadsNamed("orvel.watch"), before + 1);  // named before it wrote

    stream.finish();
    EXPECT_EQ(threadsNamed("orvel.watch"), before);
    EXPECT_TRUE(stream.isClosed());
    stream.send({{"ok", true}});
    stream.closeAfterSending();
    stream.finish();
    EXPECT_EQ(::read(client.get(), buffer, sizeof buffer), 0) << "the client sees the end";
}

}  // namespace
}  // namespace orvel

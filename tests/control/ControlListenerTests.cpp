#include "control/ControlListener.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "../support/ControlClient.hpp"
#include "../support/LoopThread.hpp"
#include "../support/ScopedEnvironment.hpp"
#include "../support/TempDataHome.hpp"
#include "../support/Waiting.hpp"

namespace orvel {
namespace {

using test::Client;
using test::TempDataHome;

mode_t permissions(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// Leaves a socket file behind, as a crashed run does.
void bindAndAbandon(const std::string& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
}

std::string contents(const std::string& path) {
    std::ifstream file(path);
    return {std::istreambuf_iterator<char>(file), {}};
}

class ControlListenerTest : public ::testing::Test {
protected:
    ControlListener open() {
        auto opened = ControlListener::open(home.socketPath());
        error = opened ? "" : opened.error();
        return opened ? std::move(*opened) : ControlListener();
    }
    TempDataHome home;
    std::string error;
};

TEST_F(ControlListenerTest, MakesTheFolderOwnerOnlyAndTheSocket0600) {
    for (const bool folderExists : {false, true}) {
        if (folderExists) {
            ASSERT_EQ(::chmod(home.folder().c_str(), 0755), 0);
        }
        ::umask(022);
        ControlListener listener = open();
        ASSERT_TRUE(listener) << error;
        EXPECT_EQ(permissions(home.folder()), 0700u);
        EXPECT_EQ(permissions(home.socketPath()), 0600u);
        EXPECT_EQ(::umask(022), 022u) << "the file-creation mask is restored";
        EXPECT_TRUE(Client(home.socketPath()).connected());
    }
    const auto deeper = ControlListener::open(home.root() + "/a/b/Orvel Remote/control.sock");
    EXPECT_TRUE(deeper) << "missing parent folders are made: " << deeper.error();
}

TEST_F(ControlListenerTest, ReplacesAStaleSocketAndRemovesItsOwnSocketOnly) {
    {
        ControlListener listener = open();
        ASSERT_TRUE(listener) << error;
    }
    EXPECT_FALSE(std::filesystem::exists(home.socketPath()));
    bindAndAbandon(home.socketPath());
    ASSERT_FALSE(Client(home.socketPath()).connected()) << "nobody listens on the stale socket";
    ControlListener first = open();
    ASSERT_TRUE(first) << error;
    EXPECT_TRUE(Client(home.socketPath()).connected());
    ControlListener second = open();  // a second instance takes the path over
    ASSERT_TRUE(second) << error;
    first.close();
    EXPECT_TRUE(Client(home.socketPath()).connected()) << "the newer socket stays";
}

TEST_F(ControlListenerTest, LeavesAnyOtherFileAloneAndFails) {
    std::filesystem::create_directories(home.folder());
    std::ofstream(home.socketPath()) << "keep me";
    ControlListener listener = open();
    EXPECT_FALSE(listener);
    EXPECT_EQ(error, "Could not listen at " + home.socketPath() + ": Address already in use.");
    EXPECT_EQ(contents(home.socketPath()), "keep me");
}

TEST_F(ControlListenerTest, RefusesASymlinkedFolderWithoutTouchingItsTarget) {
    const std::string elsewhere = home.root() + "/elsewhere";
    std::filesystem::create_directories(elsewhere);
    ASSERT_EQ(::chmod(elsewhere.c_str(), 0755), 0);
    std::filesystem::create_directory_symlink(elsewhere, home.folder());
    EXPECT_FALSE(open());
    EXPECT_EQ(error,
              "The folder " + home.folder() + " is a symbolic link; it must be a real folder.");
    EXPECT_EQ(permissions(elsewhere), 0755u);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

TEST_F(ControlListenerTest, RefusesAFolderOfAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
    std::filesystem::create_directories(home.folder());
    ASSERT_EQ(::chmod(home.folder().c_str(), 0755), 0);
    ASSERT_EQ(::chown(home.folder().c_str(), 65534, 65534), 0);
    EXPECT_FALSE(open());
    EXPECT_EQ(error,
              "The folder " + home.folder() + " belongs to another user; it must be your own.");
    EXPECT_EQ(permissions(home.folder()), 0755u);
}

TEST_F(ControlListenerTest, RefusesPathsThatCannotBeBound) {
    const struct {
        std::string path;
        std::string error;
    } cases[] = {
        {home.root() + "/" + std::string(100, 'p') + "/control.sock",
         "The socket path " + home.root() + "/" + std::string(100, 'p') +
             "/control.sock is too long (" + std::to_string(home.root().size() + 114) +
             " bytes; at most 107 fit)."},
        {"relative/control.sock",
         "The socket path relative/control.sock is not a file path inside a folder."},
        {"/control.sock", "The socket path /control.sock is not a file path inside a folder."},
        {home.root() + "/",
         "The socket path " + home.root() + "/ is not a file path inside a folder."},
    };
    for (const auto& c : cases) {
        const auto refused = ControlListener::open(c.path);
        ASSERT_FALSE(refused) << c.path;
        EXPECT_EQ(refused.error(), c.error);
    }
    EXPECT_FALSE(std::filesystem::exists(home.root() + "/" + std::string(100, 'p')))
        << "nothing is created for a path that cannot work";
}

}  // namespace
}  // namespace orvel

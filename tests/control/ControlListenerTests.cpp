#include "control/ControlListener.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "../support/ControlClient.hpp"
#include "../support/TempDataHome.hpp"

namespace orvel {
namespace {

using test::Client;

mode_t permissions(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

class ControlListenerTest : public ::testing::Test {
protected:
    // The refusal, or "" with the new listener in `listener`.
    std::string open(const std::string& path) {
        auto opened = ControlListener::open(path);
        if (!opened) return opened.error();
        listener = std::move(*opened);
        return "";
    }
    bool listening() { return Client(home.socketPath()).connected(); }
    test::TempDataHome home;
    ControlListener listener;
};

TEST_F(ControlListenerTest, MakesTheFolderOwnerOnlyAndTheSocket0600) {
    for (const bool folderExists : {false, true}) {
        if (folderExists) {
            ASSERT_EQ(::chmod(home.folder().c_str(), 0755), 0);
        }
        ::umask(022);
        ASSERT_EQ(open(home.socketPath()), "");
        EXPECT_EQ(permissions(home.folder()), 0700u);
        EXPECT_EQ(permissions(home.socketPath()), 0600u);
        EXPECT_EQ(::umask(022), 022u) << "the file-creation mask is restored";
        EXPECT_TRUE(listening());
    }
    EXPECT_EQ(open(home.root() + "/a/b/Orvel Remote/control.sock"), "") << "parents are made";
}

TEST_F(ControlListenerTest, ReplacesAStaleSocketAndRemovesItsOwnSocketOnly) {
    ASSERT_EQ(open(home.socketPath()), "");
    listener = ControlListener();
    EXPECT_FALSE(std::filesystem::exists(home.socketPath()));
    {
        // Left behind, as a crashed run leaves it.
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
        home.socketPath().copy(address.sun_path, sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    ASSERT_FALSE(listening());
    ASSERT_EQ(open(home.socketPath()), "");
    EXPECT_TRUE(listening());
    ControlListener first = std::move(listener);
    ASSERT_EQ(open(home.socketPath()), "") << "a second instance takes the path over";
    first.close();
    EXPECT_TRUE(listening()) << "the newer socket stays";
}

TEST_F(ControlListenerTest, LeavesAnyOtherFileAloneAndFails) {
    std::filesystem::create_directories(home.folder());
    std::ofstream(home.socketPath()) << "keep me";
    EXPECT_EQ(open(home.socketPath()),
              "Could not listen at " + home.socketPath() + ": Address already in use.");
    std::ifstream file(home.socketPath());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "keep me");
}

TEST_F(ControlListenerTest, RefusesASymlinkedFolderWithoutTouchingItsTarget) {
    const std::string elsewhere = home.root() + "/elsewhere";
    std::filesystem::create_directories(elsewhere);
    ASSERT_EQ(::chmod(elsewhere.c_str(), 0755), 0);
    std::filesystem::create_directory_symlink(elsewhere, home.folder());
    EXPECT_EQ(open(home.socketPath()),
              "The folder " + home.folder() + " is a symbolic link; it must be a real folder.");
    EXPECT_EQ(permissions(elsewhere), 0755u);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

TEST_F(ControlListenerTest, RefusesAFolderOfAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
    std::filesystem::create_directories(home.folder());
    ASSERT_EQ(::chmod(home.folder().c_str(), 0755), 0);
    ASSERT_EQ(::chown(home.folder().c_str(), 65534, 65534), 0);
    EXPECT_EQ(open(home.socketPath()),
              "The folder " + home.folder() + " belongs to another user; it must be your own.");
    EXPECT_EQ(permissions(home.folder()), 0755u);
}

TEST_F(ControlListenerTest, RefusesPathsThatCannotBeBound) {
    const std::string tooLong = home.root() + "/" + std::string(100, 'p') + "/control.sock";
    const std::pair<std::string, std::string> cases[] = {
        {tooLong, " is too long (" + std::to_string(tooLong.size()) + " bytes; at most 107 fit)."},
        {"relative/control.sock", " is not a file path inside a folder."},
        {"/control.sock", " is not a file path inside a folder."},
        {home.root() + "/", " is not a file path inside a folder."},
    };
    for (const auto& [path, error] : cases)
        EXPECT_EQ(open(path), std::string("The socket path ").append(path).append(error));
    EXPECT_FALSE(std::filesystem::exists(home.root() + "/" + std::string(100, 'p')))
        << "nothing is created for a path that cannot work";
}

}  // namespace
}  // namespace orvel

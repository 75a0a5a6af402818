#include "control/ControlListener.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <latch>
#include <thread>

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
            listener = ControlListener();
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

// A socket bound at `path` by someone else, listening or left behind as a crashed run leaves it.
UniqueFd foreignSocket(const std::string& path, bool listens) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    if (listens) {
        EXPECT_EQ(::listen(fd.get(), 1), 0);
    }
    return fd;
}

TEST_F(ControlListenerTest, TakesOnlyAPathNobodyAnswersOn) {
    std::filesystem::create_directories(home.folder());
    enum Before { nothing, staleSocket, answeringSocket, otherListener };
    const std::pair<Before, std::string> cases[] = {
        {nothing, ""},
        {staleSocket, ""},
        {answeringSocket, ControlListener::kAlreadyRunning},  // an app that takes no lock
        {otherListener, ControlListener::kAlreadyRunning},
    };
    for (const auto& [before, refusal] : cases) {
        SCOPED_TRACE(before);
        UniqueFd foreign;
        ControlListener other;
        if (before == staleSocket || before == answeringSocket) {
            foreign = foreignSocket(home.socketPath(), before == answeringSocket);
            if (before == staleSocket) foreign.reset();
        }
        if (before == otherListener) other = ControlListener::open(home.socketPath()).value();
        struct stat info {};
        ::lstat(home.socketPath().c_str(), &info);

        EXPECT_EQ(open(home.socketPath()), refusal);
        EXPECT_TRUE(listening());
        if (!refusal.empty()) {
            struct stat after {};
            ASSERT_EQ(::lstat(home.socketPath().c_str(), &after), 0);
            EXPECT_EQ(after.st_ino, info.st_ino) << "the running app keeps its socket";
        }
        listener = ControlListener();
        other = ControlListener();
        ::unlink(home.socketPath().c_str());
    }
}

// That a closed listener takes its socket and lock along is ControlServer's stop to test.
TEST_F(ControlListenerTest, LeavesASocketThatReplacedItsOwn) {
    ASSERT_EQ(open(home.socketPath()), "");
    ::unlink(home.socketPath().c_str());
    const UniqueFd newer = foreignSocket(home.socketPath(), true);
    listener.close();
    EXPECT_TRUE(listening()) << "the newer socket stays";
}

TEST_F(ControlListenerTest, OfTwoStartingTogetherExactlyOneWins) {
    std::filesystem::create_directories(home.folder());
    for (int round = 0; round < 50; ++round) {
        std::latch ready(2);
        Result<ControlListener> opened[2] = {Failure{}, Failure{}};
        auto race = [&](int i) {
            ready.arrive_and_wait();
            opened[i] = ControlListener::open(home.socketPath());
        };
        std::thread first(race, 0), second(race, 1);
        first.join();
        second.join();
        ASSERT_NE(opened[0].ok(), opened[1].ok()) << round;
        const auto& loser = opened[0] ? opened[1] : opened[0];
        EXPECT_EQ(loser.error(), ControlListener::kAlreadyRunning) << round;
        EXPECT_TRUE(listening()) << round;
    }
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

// The built OrvelBridge program as the application runs it: a child with pipes, waited on in
// bounded real time.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "../support/FakeRokuDevice.hpp"
#include "../support/LoopbackHttpServer.hpp"
#include "../support/ScopedEnvironment.hpp"
#include "platform/UniqueFd.hpp"

extern char** environ;

namespace orvel {
namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = std::chrono::seconds(10);

std::string bridgePath() {
    if (const char* build = std::getenv("ORVEL_BUILD_DIR")) {
        return std::string(build) + "/src/bridge/OrvelBridge";
    }
    char self[PATH_MAX] = {};
    const auto length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir(self, length > 0 ? static_cast<std::size_t>(length) : 0);
    dir = dir.substr(0, dir.rfind('/'));  // build/tests
    return dir + "/../src/bridge/OrvelBridge";
}

// One running bridge with its stdin, stdout and stderr on pipes; killed and reaped if a test
// leaves it running.
class BridgeChild {
public:
    explicit BridgeChild(const std::string& simulate) {
        int in[2], out[2], err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            ::pipe2(err, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "pipe2: " << std::strerror(errno);
            return;
        }
        input_.reset(in[1]);
        output_.reset(out[0]);
        errors_.reset(err[0]);
        UniqueFd childIn(in[0]), childOut(out[1]), childErr(err[1]);
        test::ScopedEnvironment environment;
        environment.set("ORVEL_SIMULATE", simulate);

        const std::string path = bridgePath();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, childIn.get(), 0);
        posix_spawn_file_actions_adddup2(&actions, childOut.get(), 1);
        posix_spawn_file_actions_adddup2(&actions, childErr.get(), 2);
        char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
        const int failed = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) {
            pid_ = -1;
            ADD_FAILURE() << "cannot start " << path << ": " << std::strerror(failed);
        }
    }
    ~BridgeChild() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    void write(const std::string& line) {
        const std::string framed = line + "\n";
        ASSERT_EQ(::write(input_.get(), framed.data(), framed.size()),
                  static_cast<ssize_t>(framed.size()));
    }
    void closeInput() { input_.reset(); }
    void signal(int signo) { ::kill(pid_, signo); }

    // The next line on stdout (or stderr), or none at end of output or after kPatience.
    std::optional<std::string> readLine(bool fromErrors = false) {
        UniqueFd& fd = fromErrors ? errors_ : output_;
        std::string& buffer = fromErrors ? errBuffer_ : outBuffer_;
        const auto deadline = Clock::now() + kPatience;
        while (true) {
            if (auto end = buffer.find('\n'); end != std::string::npos) {
                std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                return line;
            }
            pollfd entry{fd.get(), POLLIN, 0};
            if (::poll(&entry, 1, remainingMs(deadline)) != 1) return std::nullopt;
            char chunk[4096];
            const ssize_t count = ::read(fd.get(), chunk, sizeof chunk);
            if (count <= 0) return std::nullopt;
            buffer.append(chunk, static_cast<std::size_t>(count));
        }
    }
    json request(const std::string& line) {
        write(line);
        const auto reply = readLine();
        return reply ? json::parse(*reply) : json();
    }

    // The exit status once the child has exited, or none after kPatience.
    std::optional<int> waitExit() {
        UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
        pollfd entry{pidfd.get(), POLLIN, 0};
        if (pidfd && ::poll(&entry, 1, remainingMs(Clock::now() + kPatience)) != 1) return {};
        int status = 0;
        if (::waitpid(pid_, &status, 0) != pid_) return std::nullopt;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    static int remainingMs(Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return static_cast<int>(std::max<long long>(0, left.count()));
    }

    pid_t pid_ = -1;
    UniqueFd input_, output_, errors_;
    std::string outBuffer_, errBuffer_;
};

TEST(BridgeProcess, ServesTheBuiltInHouseholdUntilItsInputEndsOrSigterm) {
    for (const bool bySignal : {false, true}) {
        SCOPED_TRACE(bySignal ? "SIGTERM" : "end of input");
        BridgeChild bridge("1");
        EXPECT_EQ(bridge.readLine(), R"({"event":"ready"})");
        const json reply = bridge.request(R"({"op":"scan","id":"s1"})");
        EXPECT_EQ(reply["id"], "s1");
        EXPECT_EQ(reply["devices"].size(), 3u);
        bySignal ? bridge.signal(SIGTERM) : bridge.closeInput();
        EXPECT_EQ(bridge.waitExit(), 0);
    }
}

TEST(BridgeProcess, RefusesAHouseholdFileItCannotRead) {
    BridgeChild bridge("/nonexistent/household.json");
    EXPECT_EQ(bridge.readLine(/*fromErrors=*/true),
              "OrvelBridge: The household file \"/nonexistent/household.json\" cannot be read "
              "(No such file or directory).");
    EXPECT_FALSE(bridge.readLine(true)) << "one line only";
    EXPECT_FALSE(bridge.readLine()) << "no \"ready\" from a bridge that cannot serve";
    EXPECT_EQ(bridge.waitExit(), 1);
}

TEST(BridgeProcess, WithoutSimulationReachesTheRokusAtTheListedAddresses) {
    test::FakeRokuDevice tv;
    test::LoopbackHttpServer server(
        [&](const test::FakeHttpRequest& request) { return tv.handle(request); });
    test::ScopedEnvironment environment;
    environment.set("ORVEL_ROKU_HOSTS", server.hostPort());
    BridgeChild bridge("");
    EXPECT_EQ(bridge.readLine(), R"({"event":"ready"})");
    EXPECT_EQ(bridge.request(R"({"op":"scan","id":"s1"})")["devices"],
              json::parse(R"([{"id":"roku:X00000FAKE01","name":"Bedroom TV","protocols":[]}])"));
    const json reply = bridge.request(R"({"op":"connect","id":"c1","device":"sim:living-room"})");
    EXPECT_NE(reply.value("error", "").find("Apple TV"), std::string::npos) << reply;
}

TEST(BridgeProcess, AnswersEveryRequestWithWhatIsWrongWithTheRokuHostList) {
    test::ScopedEnvironment environment;
    environment.set("ORVEL_ROKU_HOSTS", "192.0.2.7,tv.local");
    BridgeChild bridge("");
    EXPECT_EQ(bridge.readLine(), R"({"event":"ready"})");
    for (const char* request :
         {R"({"op":"scan","id":"1"})", R"({"op":"connect","id":"1","device":"roku:X"})"}) {
        EXPECT_EQ(bridge.request(request).value("error", ""),
                  "ORVEL_ROKU_HOSTS lists \"tv.local\", which is not an IP address.");
    }
}

}  // namespace
}  // namespace orvel

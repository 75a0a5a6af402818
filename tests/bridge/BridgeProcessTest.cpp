// The built OrvelBridge program as the application runs it: a child on pipes, read within
// bounded real time.

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "../support/FakeRokuDevice.hpp"
#include "../support/LoopbackHttpServer.hpp"
#include "../support/ProgramRun.hpp"
#include "../support/ScopedEnvironment.hpp"

namespace orvel {
namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

std::string bridgePath() {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): read before the test starts any thread
    if (const char* build = std::getenv("ORVEL_BUILD_DIR")) {
        return std::string(build) + "/src/bridge/OrvelBridge";
    }
    char self[PATH_MAX] = {};
    const auto length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir(self, length > 0 ? static_cast<std::size_t>(length) : 0);
    return dir.substr(0, dir.rfind('/')) + "/../src/bridge/OrvelBridge";  // from build/tests
}

class BridgeChild {
public:
    explicit BridgeChild(const std::string& simulate) {
        const test::ScopedEnvironment environment("ORVEL_SIMULATE", simulate);
        auto spawned = ChildProcess::spawn(bridgePath(), {}, ChildProcess::Errors::pipe);
        if (!spawned) {
            ADD_FAILURE() << spawned.error();
            return;
        }
        child = std::move(*spawned);
        input = child->takeStdin();
        streams_[0] = child->takeStdout();
        streams_[1] = child->takeStderr();
    }

    // The next line on stdout (or stderr), or none at end of output or after 10 s.
    std::optional<std::string> readLine(bool fromErrors = false) {
        const UniqueFd& fd = streams_[fromErrors ? 1 : 0];
        std::string& buffer = buffers_[fromErrors ? 1 : 0];
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (fd) {
            if (auto end = buffer.find('\n'); end != std::string::npos) {
                std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd entry{fd.get(), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) != 1) break;
            char chunk[4096];
            const ssize_t count = ::read(fd.get(), chunk, sizeof chunk);
            if (count <= 0) break;
            buffer.append(chunk, static_cast<std::size_t>(count));
        }
        return std::nullopt;
    }
    json request(const std::string& line) {
        const std::string framed = line + "\n";
        EXPECT_EQ(::write(input.get(), framed.data(), framed.size()),
                  static_cast<ssize_t>(framed.size()));
        const auto reply = readLine();
        return reply ? json::parse(*reply) : json();
    }
    // The exit status, or -1 if it has not exited normally within 10 s.
    int exitStatus() {
        const int status = child ? test::waitForExit(*child, 10) : -1;
        return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::unique_ptr<ChildProcess> child;
    UniqueFd input;

private:
    UniqueFd streams_[2];
    std::string buffers_[2];
};

TEST(BridgeProcess, ServesTheBuiltInHouseholdUntilItsInputEndsOrSigterm) {
    for (const bool bySignal : {false, true}) {
        SCOPED_TRACE(bySignal ? "SIGTERM" : "end of input");
        BridgeChild bridge("1");
        ASSERT_TRUE(bridge.child);
        EXPECT_EQ(bridge.readLine(), R"({"event":"ready"})");
        EXPECT_EQ(bridge.request(R"({"op":"scan","id":"s1"})")["devices"].size(), 3u);
        bySignal ? bridge.child->signal(SIGTERM) : bridge.input.reset();
        EXPECT_EQ(bridge.exitStatus(), 0);
    }
}

TEST(BridgeProcess, RefusesAHouseholdFileItCannotRead) {
    BridgeChild bridge("/nonexistent/household.json");
    EXPECT_EQ(bridge.readLine(/*fromErrors=*/true),
              "OrvelBridge: The household file \"/nonexistent/household.json\" cannot be read "
              "(No such file or directory).");
    EXPECT_FALSE(bridge.readLine(true)) << "one line only";
    EXPECT_FALSE(bridge.readLine()) << "no \"ready\" from a bridge that cannot serve";
    EXPECT_EQ(bridge.exitStatus(), 1);
}

TEST(BridgeProcess, WithoutSimulationReachesTheRokusAtTheListedAddresses) {
    test::FakeRokuDevice tv;
    test::LoopbackHttpServer server(
        [&](const test::FakeHttpRequest& request) { return tv.handle(request); });
    const test::ScopedEnvironment environment("ORVEL_ROKU_HOSTS", server.hostPort());
    BridgeChild bridge("");
    EXPECT_EQ(bridge.readLine(), R"({"event":"ready"})");
    EXPECT_EQ(bridge.request(R"({"op":"scan","id":"s1"})")["devices"],
              json::parse(R"([{"id":"roku:X00000FAKE01","name":"Bedroom TV","protocols":[]}])"));
}

TEST(BridgeProcess, AnswersEveryRequestWithWhatIsWrongWithTheRokuHostList) {
    const test::ScopedEnvironment environment("ORVEL_ROKU_HOSTS", "192.0.2.7,tv.local");
    BridgeChild bridge("");
    EXPECT_EQ(bridge.readLine(), R"({"event":"ready"})");
    for (const char* op : {R"("scan")", R"("connect","device":"roku:X")"}) {
        EXPECT_EQ(bridge.request(R"({"id":"1","op":)" + std::string(op) + "}").value("error", ""),
                  "ORVEL_ROKU_HOSTS lists \"tv.local\", which is not an IP address.");
    }
}

}  // namespace
}  // namespace orvel

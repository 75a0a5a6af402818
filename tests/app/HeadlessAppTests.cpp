// OrvelRemote as a program, with a simulated household and every folder in a scratch
// directory: it keeps a bridge child running, restarts one that dies, and on SIGTERM stops it
// and exits.

#include <gtest/gtest.h>
#include <signal.h>

#include "../support/HeadlessAppFixture.hpp"
#include "platform/ChildProcess.hpp"

namespace orvel::test {
namespace {

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
TEST_F(HeadlessApp, RestartsADeadBridgeAndStopsItOnQuit) {
    // The first bridge dies a second into the launch scan, after the app chose the TV to reconnect
    // to; a restarted bridge is never asked to scan, so the second one stays.
    useHousehold(R"({
        "tvs": [{"id": "roku:sim-bedroom", "name": "Bedroom TV"}],
        "faults": [{"op": "scan", "delay": 1, "exit": 3}]})");

    std::string error;
    auto remote = ChildProcess::spawn(ORVEL_APP_PATH, {"--headless"}, error);
    ASSERT_TRUE(remote) << error;
    // One look at /proc per check: the list may change between two looks.
    pid_t first = 0, second = 0;
    auto onlyBridge = [&](pid_t& pid) {
        const auto found = childrenNamed(remote->pid(), "OrvelBridge");
        pid = found.size() == 1 ? found[0] : 0;
        return pid != 0;
    };
    ASSERT_TRUE(eventually([&] { return onlyBridge(first); }));

    // The retry comes 5 seconds after the helper's end, or 10 when the connect request was
    // already under way (its failure counts as a failed attempt).
    ASSERT_TRUE(eventually([&] { return onlyBridge(second) && second != first; }, 30));

    remote->signal(SIGTERM);
    EXPECT_TRUE(eventually([&] { return !remote->isRunning(); }, 10));
    EXPECT_TRUE(WIFEXITED(remote->waitStatus()) && WEXITSTATUS(remote->waitStatus()) == 0);
    EXPECT_TRUE(eventually([&] { return ::kill(second, 0) != 0; }))
        << "the bridge does not outlive the app";
}
#endif

}  // namespace
}  // namespace orvel::test

// OrvelRemote as a program, with a simulated household and every folder in a scratch
// directory: it keeps a bridge child running, restarts one that dies, and on SIGTERM stops it
// and exits.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <map>

#include "../platform/ScratchDir.hpp"
#include "../support/ChildProcesses.hpp"
#include "platform/ChildProcess.hpp"

namespace orvel::test {
namespace {

#ifdef ORVEL_APP_PATH  // set by the build once it builds the bridge the app runs
class ScopedEnvironment {
public:
    void set(const char* name, const std::string& value) {
        if (!saved_.contains(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(HeadlessApp, RestartsADeadBridgeAndStopsItOnQuit) {
    testing::ScratchDir dir;
    testing::ScratchDir::write(dir / "config/Orvel Remote/defaults.json", R"({
        "pairedDevices": [{"id": "roku:sim-bedroom", "name": "Bedroom TV", "protocols": []}],
        "lastDevice": "roku:sim-bedroom"})");
    // The first bridge dies a second into the launch scan, after the app chose the TV to reconnect
    // to; a restarted bridge is never asked to scan, so the second one stays.
    testing::ScratchDir::write(dir / "household.json", R"({
        "tvs": [{"id": "roku:sim-bedroom", "name": "Bedroom TV"}],
        "faults": [{"op": "scan", "delay": 1, "exit": 3}]})");
    ScopedEnvironment environment;  // the child inherits it
    environment.set("HOME", dir.path());
    environment.set("XDG_CONFIG_HOME", dir / "config");
    environment.set("XDG_DATA_HOME", dir / "data");
    environment.set("ORVEL_SIMULATE", dir / "household.json");

    std::string error;
    auto app = ChildProcess::spawn(ORVEL_APP_PATH, {"--headless"}, error);
    ASSERT_TRUE(app) << error;
    // One look at /proc per check: the list may change between two looks.
    pid_t first = 0, second = 0;
    auto onlyBridge = [&](pid_t& pid) {
        const auto found = childrenNamed(app->pid(), "OrvelBridge");
        pid = found.size() == 1 ? found[0] : 0;
        return pid != 0;
    };
    ASSERT_TRUE(eventually([&] { return onlyBridge(first); }));

    // The retry comes 5 seconds after the helper's end, or 10 when the connect request was
    // already under way (its failure counts as a failed attempt).
    ASSERT_TRUE(eventually([&] { return onlyBridge(second) && second != first; }, 30));

    app->signal(SIGTERM);
    EXPECT_TRUE(eventually([&] { return !app->isRunning(); }, 10));
    EXPECT_TRUE(WIFEXITED(app->waitStatus()) && WEXITSTATUS(app->waitStatus()) == 0);
    EXPECT_TRUE(eventually([&] { return ::kill(second, 0) != 0; }))
        << "the bridge does not outlive the app";
}
#endif

}  // namespace
}  // namespace orvel::test

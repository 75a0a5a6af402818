#pragma once
// A fixture for tests that drive OrvelRemote --headless with the built orvel tool: the simulated
// Bedroom TV paired and selected, every folder in a scratch directory, no session bus. Real
// processes; every wait is bounded.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../platform/ScratchDir.hpp"
#include "ChildProcesses.hpp"
#include "ProgramRun.hpp"
#include "ScopedEnvironment.hpp"

namespace orvel::test {

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
// Characters the bridge has read from the app so far.
inline long long bridgeReadCount(pid_t bridge) {
    std::ifstream io("/proc/" + std::to_string(bridge) + "/io");
    std::string key;
    long long value = -1;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

// What a run printed: exactly `pattern`, or (with a trailing "…") anything that starts so and ends
// in a line feed.
inline bool printed(const std::string& output, const std::string& pattern) {
    const std::string ellipsis = "…";
    if (!pattern.ends_with(ellipsis)) return output == pattern;
    const std::string start = pattern.substr(0, pattern.size() - ellipsis.size());
    return output.starts_with(start) && output.ends_with("\n");
}

class HeadlessApp : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ScratchDir::write(dir / "config/Orvel Remote/defaults.json", R"({
            "pairedDevices": [{"id": "roku:sim-bedroom", "name": "Bedroom TV", "protocols": []}],
            "lastDevice": "roku:sim-bedroom"})");
        environment.set("HOME", dir.path());
        environment.set("XDG_CONFIG_HOME", dir / "config");
        environment.set("XDG_DATA_HOME", dir / "data");
        environment.set("ORVEL_SIMULATE", "1");
        environment.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir / "no-bus");
    }

    // Serves the household in `json` instead of the built-in one.
    void useHousehold(const std::string& json) {
        testing::ScratchDir::write(dir / "household.json", json);
        environment.set("ORVEL_SIMULATE", dir / "household.json");
    }

    // Launches the app and waits until the Bedroom TV is connected.
    void launch() {
        app = std::make_unique<RunningProgram>(
            ORVEL_APP_PATH, std::vector<std::string>{"--headless"}, dir / "app.log");
        ASSERT_TRUE(eventually(
            [&] {
                auto status = tool({"status"});
                return status.status == 0 && status.out.find("not connected") == std::string::npos;
            },
            20));
    }

    ProgramRun tool(const std::vector<std::string>& arguments, double seconds = 40) {
        return runProgram(ORVEL_TOOL_PATH, arguments, seconds);
    }

    testing::ScratchDir dir;
    ScopedEnvironment environment;
    std::unique_ptr<RunningProgram> app;
};
#endif

}  // namespace orvel::test

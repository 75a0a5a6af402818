#include "HeadlessProfile.hpp"

#include "ProgramRun.hpp"
#include "Waiting.hpp"

namespace orvel::test {

HeadlessProfile::HeadlessProfile(const std::string& tvID) {
    ScratchDir::write(dir_ / "config/Orvel Remote/defaults.json",
                      R"({"pairedDevices": [{"id": ")" + tvID +
                          R"(", "name": "Bedroom TV", "protocols": []}], "lastDevice": ")" + tvID +
                          R"("})");
    environment_.set("HOME", dir_.path());
    environment_.set("XDG_CONFIG_HOME", dir_ / "config");
    useDataHome(dir_ / "data");
    environment_.set("ORVEL_SIMULATE", "1");
    environment_.set("ORVEL_ROKU_HOSTS", "");  // set but empty: no search for TVs at all
    environment_.set("ORVEL_APPLETV_HOSTS", "");
    environment_.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir_ / "no-bus");
    // Nor the machine's logind: only a private system bus of the test's own, if it has one.
    const std::string privateSystemBus = ScopedEnvironment::get("ORVEL_PRIVATE_SYSTEM_BUS");
    environment_.set("DBUS_SYSTEM_BUS_ADDRESS",
                     privateSystemBus.empty() ? "unix:path=" + dir_ / "no-bus" : privateSystemBus);
    // No display: the app would take the keys of the desktop the tests run on.
    environment_.unset("DISPLAY");
    environment_.unset("WAYLAND_DISPLAY");
}

void HeadlessProfile::useRokus(const std::string& hosts) {
    environment_.unset("ORVEL_SIMULATE");
    environment_.set("ORVEL_ROKU_HOSTS", hosts);
}

void HeadlessProfile::useAppleTVs(const std::string& hosts) {
    environment_.unset("ORVEL_SIMULATE");
    environment_.set("ORVEL_APPLETV_HOSTS", hosts);
}

void HeadlessProfile::useDataHome(const std::string& folder) {
    environment_.set("XDG_DATA_HOME", folder);
    socketPath_ = folder + "/Orvel Remote/control.sock";
}

std::unique_ptr<ChildProcess> HeadlessProfile::launch(const std::string& app,
                                                      const std::string& tool,
                                                      const std::vector<std::string>& arguments,
                                                      ChildProcess::Errors errors) const {
    std::vector<std::string> all;
    if (headless_) all.emplace_back("--headless");
    all.insert(all.end(), arguments.begin(), arguments.end());
    auto launched = ChildProcess::spawn(app, all, errors);
    const bool connected =
        launched && eventually(
                        [&] {
                            const auto run = runProgram(tool, {"status"});
                            return run.status == 0 &&
                                   run.out.find("not connected") == std::string::npos;
                        },
                        20);
    return connected ? std::move(*launched) : nullptr;
}

}  // namespace orvel::test

#pragma once
// PrivateSessionBus: a dbus-daemon of the test's own, of the session kind, listening in a
// scratch folder and starting no services (so that no keyring comes up on it when the app
// looks for one). Not available without dbus-daemon on the PATH; its destruction kills it.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "../../support/ProgramRun.hpp"
#include "../../support/ScratchDir.hpp"
#include "platform/ChildProcess.hpp"

namespace orvel::test {

// The program called `name` on the PATH; empty when there is none.
inline std::string onPath(const std::string& name) {
    const char* path = std::getenv("PATH");  // NOLINT(concurrency-mt-unsafe): before threads
    std::string folders = path ? path : "";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::filesystem::path candidate =
            std::filesystem::path(folders.substr(start, end - start)) / name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const ScratchDir& dir) {
        const std::string daemon = onPath("dbus-daemon");
        if (daemon.empty()) return;
        const std::string socket = dir / "session-bus";
        const std::string config = dir / "session-bus.conf";
        ScratchDir::write(config, R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=)" + socket + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
        // It prints its address once it accepts connections.
        auto started = ChildProcess::spawn(
            daemon, {"--config-file=" + config, "--nofork", "--print-address=1"});
        if (!started) return;
        daemon_ = std::move(*started);
        const UniqueFd out = daemon_->takeStdout();
        if (readUntil(out.get(), "\n", 10).starts_with("unix:")) address_ = "unix:path=" + socket;
    }

    bool available() const { return !address_.empty(); }
    const std::string& address() const { return address_; }

private:
    std::unique_ptr<ChildProcess> daemon_;
    std::string address_;
};

}  // namespace orvel::test

#pragma once
// HeadlessProfile: all the headless app reads at launch, in a scratch folder: defaults with one
// TV paired and selected, HOME and XDG folders, the simulated household, no session bus (so the
// credential file is used) and no display (so no keys are taken), until the profile goes.
// Free of GoogleTest; set up before any thread or child starts.

#include <memory>
#include <string>
#include <vector>

#include "ScopedEnvironment.hpp"
#include "ScratchDir.hpp"
#include "platform/ChildProcess.hpp"

namespace orvel::test {

class HeadlessProfile {
public:
    explicit HeadlessProfile(const std::string& tvID = "roku:sim-bedroom");

    // No simulation: the Rokus at `hosts` (loopback fakes) instead. For benchmarks only.
    void useRokus(const std::string& hosts);
    // No simulation: the Apple TVs at `hosts` (loopback fakes) and no Rokus.
    void useAppleTVs(const std::string& hosts);
    // The data folder (and so the control socket) at `folder`.
    void useDataHome(const std::string& folder);

    // Later launches show the interface (no --headless).
    void withInterface() { headless_ = false; }

    // Starts `app` --headless (and `arguments`) and waits, with `tool`, until its TV is
    // connected (20 s at most). Null when it could not start or never connected.
    std::unique_ptr<ChildProcess> launch(
        const std::string& app, const std::string& tool,
        const std::vector<std::string>& arguments = {},
        ChildProcess::Errors errors = ChildProcess::Errors::discard) const;

    const ScratchDir& dir() const { return dir_; }
    const std::string& socketPath() const { return socketPath_; }

private:
    ScratchDir dir_;
    ScopedEnvironment environment_;
    std::string socketPath_;
    bool headless_ = true;
};

}  // namespace orvel::test

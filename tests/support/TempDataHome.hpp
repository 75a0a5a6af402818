#pragma once
// TempDataHome: a scratch folder set as XDG_DATA_HOME for one test, so that the control socket
// lives there; both go with the object.

#include <string>

#include "ScopedEnvironment.hpp"
#include "ScratchDir.hpp"

namespace orvel::test {

class TempDataHome {
public:
    TempDataHome() : environment_("XDG_DATA_HOME", dir_.path()) {}

    const std::string& root() const { return dir_.path(); }
    std::string folder() const { return dir_ / "Orvel Remote"; }
    std::string socketPath() const { return folder() + "/control.sock"; }

private:
    ScratchDir dir_;
    ScopedEnvironment environment_;
};

}  // namespace orvel::test

#pragma once
// ControlProblem: why a control request names no TV that can be acted on; its message is the
// reply's "error" as it stands. A plain value.

#include <string>

namespace orvel {

struct ControlProblem {
    std::string message;
    bool operator==(const ControlProblem&) const = default;
};

}  // namespace orvel

#pragma once
// Running built programs from tests and benchmarks: one run to its end with its output
// collected, and a bounded wait for a launched program to end. Free of GoogleTest.

#include <memory>
#include <string>
#include <vector>

#include "platform/ChildProcess.hpp"

namespace orvel::test {

struct ProgramRun {
    std::string out;
    std::string err;     // also says why when the program could not start or was killed
    int status = -1;     // exit status; -1 when killed by a signal or not started
    double seconds = 0;  // from the launch to the reaped end
};

// Runs `program` with the arguments to its end; kills it if it has not ended after `seconds`.
// Its standard input holds `input` (less than a pipe takes at once), then ends.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      double seconds = 10.0, const std::string& input = {});

// Reads `fd` until what was read holds `wanted` (when not empty), the stream ends or `seconds`
// passed; all that was read.
std::string readUntil(int fd, const std::string& wanted, double seconds);

// Waits up to `seconds` for `child` to end and reaps it: its waitpid status, or -1 if it runs on.
int waitForExit(ChildProcess& child, double seconds);

}  // namespace orvel::test

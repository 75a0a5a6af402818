#pragma once
// ToolConnection: the `orvel` tool's one connection to the running app. open() connects to
// the control socket and writes the request as one line; for an ordinary request it also
// ends the sending side (that tells the app the request is complete) and bounds each read
// by 35 seconds, three more than the app's own answer time-out.
//
//   auto opened = ToolConnection::open(path, request, false);
//   if (auto* failure = std::get_if<ToolFailure>(&opened)) { ...print, exit... }
//
// Move-only owner of the socket; the tool's main thread.

#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "platform/UniqueFd.hpp"

namespace orvel {

// A message for standard error (with the "orvel: " prefix) and the exit status.
struct ToolFailure {
    std::string message;
    int status;
};

class ToolConnection {
public:
    static constexpr int kReceiveTimeoutSeconds = 35;

    static std::variant<ToolConnection, ToolFailure> open(const std::string& path,
                                                          const nlohmann::json& request,
                                                          bool keepOpen);

    // Everything until the end of the stream, an error or the receive time-out.
    std::string readToEnd();
    // What one read returns, at most 4096 bytes; empty at the end of the stream or on an error.
    std::string readChunk();

private:
    explicit ToolConnection(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

}  // namespace orvel

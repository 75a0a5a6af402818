#include "cli/ToolConnection.hpp"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "core/ControlMessage.hpp"

namespace orvel {
namespace {

constexpr std::size_t kChunkBytes = 4096;

bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

}  // namespace

std::variant<ToolConnection, ToolFailure> ToolConnection::open(const std::string& path,
                                                               const nlohmann::json& request,
                                                               bool keepOpen) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return ToolFailure{"orvel: could not open a socket.", 1};
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return ToolFailure{"orvel: socket path is too long.", 1};
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        return ToolFailure{"orvel: Orvel Remote isn't running. Open it first.", 3};
    }
    if (!keepOpen) {
        const timeval timeout{kReceiveTimeoutSeconds, 0};
        ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    const auto line = ControlMessage::serializeLine(request);
    if (!line) return ToolFailure{"orvel: bad request.", 2};
    if (!sendAll(fd.get(), *line)) return ToolFailure{"orvel: could not reach Orvel Remote.", 1};
    if (!keepOpen) ::shutdown(fd.get(), SHUT_WR);
    return ToolConnection(std::move(fd));
}

std::string ToolConnection::readToEnd() {
    std::string received;
    for (std::string chunk = readChunk(); !chunk.empty(); chunk = readChunk()) received += chunk;
    return received;
}

std::string ToolConnection::readChunk() {
    char chunk[kChunkBytes];
    for (;;) {
        const ssize_t got = ::recv(fd_.get(), chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR) continue;
        return got > 0 ? std::string(chunk, static_cast<std::size_t>(got)) : std::string();
    }
}

}  // namespace orvel

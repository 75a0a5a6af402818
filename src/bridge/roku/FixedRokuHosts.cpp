#include "bridge/roku/FixedRokuHosts.hpp"

#include <memory>

namespace orvel {

FixedRokuHosts::FixedRokuHosts(MainLoop& loop, std::vector<std::string> hostPorts)
    : loop_(loop), hostPorts_(std::move(hostPorts)) {}

CancelHandle FixedRokuHosts::search(HostPortsDone done) {
    auto token = std::make_shared<CancelToken>();
    loop_.post([token, hostPorts = hostPorts_, done = std::move(done)]() mutable {
        if (!token->cancelled) done(std::move(hostPorts));
    });
    return CancelHandle(token);
}

}  // namespace orvel

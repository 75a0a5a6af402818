#include "bridge/appletv/FixedAppleTVHosts.hpp"

#include <memory>

#include "bridge/net/HostPort.hpp"

namespace orvel {

FixedAppleTVHosts::FixedAppleTVHosts(MainLoop& loop, const std::vector<std::string>& hostPorts)
    : loop_(loop) {
    for (const auto& hostPort : hostPorts) {
        const auto parts = HostPort::split(hostPort);
        FoundAppleTV tv;
        tv.address = parts.ip;
        tv.port = HostPort::readPort(parts.portText);
        tvs_.push_back(std::move(tv));
    }
}

CancelHandle FixedAppleTVHosts::search(AppleTVsFound done) {
    auto token = std::make_shared<CancelToken>();
    loop_.post([token, tvs = tvs_, done = std::move(done)]() mutable {
        if (!token->cancelled) done(AppleTVScan{std::move(tvs), std::nullopt});
    });
    return CancelHandle(token);
}

}  // namespace orvel

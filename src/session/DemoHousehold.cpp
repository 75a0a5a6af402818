#include "session/DemoHousehold.hpp"

#include "core/RemoteAction.hpp"

namespace orvel::DemoHousehold {

namespace {

TVStatus playing(std::string title, std::string app, double since) {
    TVStatus status;
    status.connected = true;
    status.playing = true;
    status.title = std::move(title);
    status.app = std::move(app);
    status.power = "On";
    status.playingSince = since;
    status.capabilities = {kAllRemoteActions.begin(), kAllRemoteActions.end()};
    return status;
}

}  // namespace

std::vector<TVDevice> devices() {
    return {TVDevice(kLivingRoomID, "Living Room", {"AirPlay", "Companion"}),
            TVDevice(kBedroomID, "Bedroom", {"AirPlay", "Companion"})};
}

std::map<std::string, TVStatus> statuses() {
    return {{kLivingRoomID, playing("Severance", "TV", 1)},
            {kBedroomID, playing("The Bear", "Hulu", 2)}};
}

}  // namespace orvel::DemoHousehold

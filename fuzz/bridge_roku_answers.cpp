// What a Roku or anything on the local network may send the bridge: the XML answers of the
// query endpoints and SSDP answers; also the ORVEL_ROKU_HOSTS setting and typed text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "bridge/roku/RokuHosts.hpp"
#include "bridge/roku/RokuKeys.hpp"
#include "bridge/roku/RokuXml.hpp"
#include "bridge/roku/SsdpAnswer.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    (void)orvel::readRokuDeviceInfo(input);
    (void)orvel::readRokuApps(input);
    (void)orvel::readRokuActiveApp(input);
    (void)orvel::readRokuMediaPlayer(input);
    (void)orvel::parseRokuHosts(input);
    (void)orvel::rokuLiteralPaths(input);
    // An address read from an answer must be one the setting would take as it is.
    if (const auto hostPort = orvel::readSsdpRokuLocation(input)) {
        const auto parsed = orvel::parseRokuHosts(*hostPort);
        const auto* hosts = std::get_if<std::vector<std::string>>(&parsed);
        if (!hosts || hosts->size() != 1 || hosts->front() != *hostPort) std::abort();
    }
    return 0;
}

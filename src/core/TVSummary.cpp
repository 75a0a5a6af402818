#include "core/TVSummary.hpp"

#include <cmath>

#include "core/PercentEncoding.hpp"
#include "core/TVIdentifier.hpp"

namespace orvel::TVSummary {

double currentPosition(double recorded, double recordedAt, double duration, double now,
                       bool playing) {
    double position = recorded + (playing ? now - recordedAt : 0.0);
    if (duration > 0 && position > duration) position = duration;
    return position;
}

double roundedPosition(double seconds) {
    const double tenths = seconds * 10;
    if (!std::isfinite(tenths)) return seconds;
    return std::round(tenths) / 10;  // std::round takes halves away from zero
}

std::optional<std::string> appIconUrl(std::string_view identifier, std::string_view address,
                                      std::string_view appId) {
    if (!TVIdentifier::isRoku(identifier) || address.empty() || appId.empty()) return std::nullopt;
    return "http://" + std::string(address) + "/query/icon/" + percentEncode(appId);
}

}  // namespace orvel::TVSummary

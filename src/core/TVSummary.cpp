#include "core/TVSummary.hpp"

#include <cmath>

namespace orvel::TVSummary {

bool isRoku(std::string_view identifier) {
    return identifier.starts_with(kRokuPrefix);
}

std::string_view kind(std::string_view identifier) {
    return isRoku(identifier) ? "Roku" : "Apple TV";
}

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

std::string percentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool literal = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                             (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' ||
                             byte == '.';
        if (literal) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::optional<std::string> appIconUrl(std::string_view identifier, std::string_view address,
                                      std::string_view appId) {
    if (!isRoku(identifier) || address.empty() || appId.empty()) return std::nullopt;
    return "http://" + std::string(address) + "/query/icon/" + percentEncode(appId);
}

}  // namespace orvel::TVSummary

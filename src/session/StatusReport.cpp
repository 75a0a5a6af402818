#include "session/StatusReport.hpp"
#include "core/JsonFields.hpp"

#include <cmath>

namespace orvel {

namespace {

std::string text(const nlohmann::json& event, const char* key, const char* fallback = "") {
    const auto* value = field(event, key);
    return value && value->is_string() ? value->get<std::string>() : fallback;
}

bool flag(const nlohmann::json& event, const char* key) {
    const auto* value = field(event, key);
    return value && value->is_boolean() && value->get<bool>();
}

std::optional<double> number(const nlohmann::json& event, const char* key) {
    const auto* value = field(event, key);
    if (!value || !value->is_number()) return std::nullopt;
    const double result = value->get<double>();
    return std::isfinite(result) ? std::optional<double>(result) : std::nullopt;
}

}  // namespace

StatusReport StatusReport::parse(const nlohmann::json& event) {
    StatusReport report;
    if (!event.is_object()) return report;
    if (const auto* listed = field(event, "capabilities"); listed && listed->is_array()) {
        for (const auto& name : *listed) {
            if (!name.is_string()) continue;
            if (auto action = remoteActionFromRaw(name.get<std::string>())) {
                report.capabilities.insert(*action);
            }
        }
    }
    report.playing = flag(event, "playing");
    report.title = text(event, "title");
    report.artist = text(event, "artist");
    report.app = text(event, "app");
    report.appID = text(event, "app_id");
    report.address = text(event, "address");
    report.notice = text(event, "notice");
    report.duration = number(event, "duration").value_or(0);
    report.position = number(event, "position").value_or(0);
    report.power = text(event, "power", "Unknown");
    report.volume = number(event, "volume");
    report.textFocused = flag(event, "text_focused");
    return report;
}

}  // namespace orvel

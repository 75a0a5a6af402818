#include "FakeRokuDevice.hpp"

#include <algorithm>
#include <string_view>

namespace orvel::test {
namespace {

const char* const kLimitedModeBody = "ECP command not allowed in Limited mode.";

// A path segment as the device reads it; a stray "%" stays as it is.
std::string percentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string hex(text.substr(i + 1, 2));
        if (text[i] == '%' && hex.size() == 2 &&
            hex.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos) {
            decoded += static_cast<char>(std::stoi(hex, nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

FakeHttpResponse plain(int status, std::string body = {}) {
    return {status, "text/plain; charset=\"utf-8\"", std::move(body)};
}

std::string element(const std::string& name, const std::string& value) {
    return "\t<" + name + ">" + value + "</" + name + ">\n";
}

std::string appElement(const std::string& id, const std::string& type, const std::string& name) {
    return "\t<app id=\"" + id + "\" type=\"" + type + "\" version=\"1.0.0\">" + name + "</app>\n";
}

}  // namespace

FakeRokuDevice::FakeRokuDevice(FakeRokuConfig config) : config_(std::move(config)) {}

FakeHttpResponse FakeRokuDevice::handle(const FakeHttpRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);

    const std::string_view path =
        std::string_view(request.target).substr(0, request.target.find('?'));
    const auto slash = path.find('/', 1);
    const auto verb = path.substr(0, slash);  // "/keypress", "/query"
    const auto rest = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    const bool query = verb == "/query" && (rest == "device-info" || rest == "apps" ||
                                            rest == "active-app" || rest == "media-player");
    const bool command = (verb == "/keypress" || verb == "/launch") && !rest.empty() &&
                         rest.find('/') == std::string_view::npos;
    if (!query && !command) return plain(404);
    if (request.method != (query ? "GET" : "POST")) return plain(405);
    if ((limited_ && command) || (limitsDeviceInfo_ && rest == "device-info"))
        return plain(403, kLimitedModeBody);

    if (verb == "/launch") {
        const auto appID = percentDecoded(rest);
        if (!findApp(appID)) return plain(404);
        activeApp_ = appID;
        playerState_ = "close";
        return plain(200);
    }
    if (verb == "/keypress") {
        if (rest == "PowerOff") powerMode_ = "DisplayOff";
        if (rest == "PowerOn") powerMode_ = "PowerOn";
        return plain(200);
    }
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n";
    if (rest == "device-info") {
        xml += "<device-info>\n" + element("serial-number", config_.serialNumber) +
               element("is-tv", config_.isTv ? "true" : "false") +
               element("friendly-model-name", config_.friendlyModelName);
        if (!config_.userDeviceName.empty())
            xml += element("user-device-name", config_.userDeviceName);
        if (!config_.wifiMac.empty()) xml += element("wifi-mac", config_.wifiMac);
        if (!config_.ethernetMac.empty()) xml += element("ethernet-mac", config_.ethernetMac);
        xml += element("power-mode", powerMode_) + "</device-info>\n";
    } else if (rest == "apps") {
        xml += "<apps>\n";
        for (const auto& app : config_.apps) xml += appElement(app.id, app.type, app.name);
        xml += "</apps>\n";
    } else if (rest == "active-app") {
        const auto* app = findApp(activeApp_);
        xml += "<active-app>\n" +
               (activeApp_.empty() ? "\t<app>Roku</app>\n"
                                   : appElement(activeApp_, app ? app->type : "appl",
                                                app ? app->name : activeApp_)) +
               "</active-app>\n";
    } else {
        xml += "<player error=\"false\" state=\"" + playerState_ + "\"";
        if (playerState_ == "close" || playerState_ == "none") {
            xml += "/>\n";
        } else {
            xml += ">\n" + element("position", std::to_string(positionMs_) + " ms") +
                   element("duration", std::to_string(durationMs_) + " ms") + "</player>\n";
        }
    }
    return {200, "text/xml; charset=\"utf-8\"", xml};
}

const FakeRokuApp* FakeRokuDevice::findApp(const std::string& id) const {
    const auto found = std::find_if(config_.apps.begin(), config_.apps.end(),
                                    [&](const FakeRokuApp& app) { return app.id == id; });
    return found == config_.apps.end() ? nullptr : &*found;
}

std::vector<FakeHttpRequest> FakeRokuDevice::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> FakeRokuDevice::keypresses() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> targets;
    for (const auto& request : requests_)
        if (request.target.starts_with("/keypress/")) targets.push_back(request.target);
    return targets;
}

void FakeRokuDevice::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

void FakeRokuDevice::setLimited(bool limited, bool evenDeviceInfo) {
    std::lock_guard lock(mutex_);
    limited_ = limited;
    limitsDeviceInfo_ = limited && evenDeviceInfo;
}

void FakeRokuDevice::setActiveApp(std::string id) {
    std::lock_guard lock(mutex_);
    activeApp_ = std::move(id);
}

void FakeRokuDevice::setPlayer(std::string state, int positionMs, int durationMs) {
    std::lock_guard lock(mutex_);
    playerState_ = std::move(state);
    positionMs_ = positionMs;
    durationMs_ = durationMs;
}

}  // namespace orvel::test

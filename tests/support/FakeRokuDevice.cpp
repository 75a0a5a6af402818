#include "FakeRokuDevice.hpp"

#include <algorithm>
#include <string_view>

namespace orvel::test {
namespace {

constexpr std::string_view kLimitedModeBody = "ECP command not allowed in Limited mode.";
constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n";
// Enough of a PNG for a client to tell an icon from an XML answer.
constexpr char kFakeIconBytes[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR";

std::string fakeRokuXmlEscape(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

int fakeRokuHexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A path segment as the device reads it; a stray "%" stays as it is.
std::string fakeRokuPercentDecode(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && fakeRokuHexDigit(text[i + 1]) >= 0 &&
            fakeRokuHexDigit(text[i + 2]) >= 0) {
            decoded += static_cast<char>(fakeRokuHexDigit(text[i + 1]) * 16 +
                                         fakeRokuHexDigit(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

FakeHttpResponse fakeRokuStatus(int status, std::string body = {}) {
    return {status, "text/plain; charset=\"utf-8\"", std::move(body)};
}

FakeHttpResponse fakeRokuXml(std::string body) {
    FakeHttpResponse response;
    response.body = std::string(kXmlDeclaration) + body;
    return response;
}

}  // namespace

FakeRokuDevice::FakeRokuDevice(FakeRokuConfig config) : config_(std::move(config)) {}

FakeHttpResponse FakeRokuDevice::handle(const FakeHttpRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);

    std::string_view path = request.target;
    path = path.substr(0, path.find('?'));
    const auto slash = path.find('/', 1);
    const auto verb = path.substr(0, slash);  // "/keypress", "/query"
    const auto rest = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";

    if (verb == "/query" && rest == "device-info") {
        if (limitsDeviceInfo_) return fakeRokuStatus(403, std::string(kLimitedModeBody));
        return get ? deviceInfo() : fakeRokuStatus(405);
    }
    const bool query = verb == "/query" && (rest == "apps" || rest == "active-app" ||
                                            rest == "media-player" || rest.starts_with("icon/"));
    const bool key = (verb == "/keypress" || verb == "/keydown" || verb == "/keyup") &&
                     !rest.empty() && rest.find('/') == std::string_view::npos;
    const bool launch =
        verb == "/launch" && !rest.empty() && rest.find('/') == std::string_view::npos;
    if (!query && !key && !launch) return fakeRokuStatus(404);
    if ((query && !get) || (!query && !post)) return fakeRokuStatus(405);
    // What limited mode gates on a device: keys, launches and icons; queries still answer.
    const bool gated = key || launch || rest.starts_with("icon/");
    if (limited_ && gated) return fakeRokuStatus(403, std::string(kLimitedModeBody));

    if (query) {
        if (rest == "apps") return appsXml();
        if (rest == "active-app") return activeAppXml();
        if (rest == "media-player") return mediaPlayerXml();
        const auto iconID = fakeRokuPercentDecode(rest.substr(5));
        if (!findApp(iconID)) return fakeRokuStatus(404);
        return {200, "image/png", std::string(kFakeIconBytes, sizeof kFakeIconBytes - 1)};
    }
    if (launch) {
        const auto appID = fakeRokuPercentDecode(rest);
        if (!findApp(appID)) return fakeRokuStatus(404);
        enterApp(appID);
        return fakeRokuStatus(200);
    }
    if (verb == "/keypress") pressKey(fakeRokuPercentDecode(rest));
    return fakeRokuStatus(200);
}

const FakeRokuApp* FakeRokuDevice::findApp(const std::string& id) const {
    const auto found = std::find_if(config_.apps.begin(), config_.apps.end(),
                                    [&](const FakeRokuApp& app) { return app.id == id; });
    return found == config_.apps.end() ? nullptr : &*found;
}

void FakeRokuDevice::enterApp(std::string id) {
    activeApp_ = std::move(id);
    playerState_ = "close";
    positionMs_ = 0;
    durationMs_ = 0;
}

void FakeRokuDevice::pressKey(const std::string& key) {
    if (key == "Home") {
        enterApp("");
    } else if (key == "Play") {
        if (playerState_ == "play") {
            playerState_ = "pause";
        } else if (playerState_ == "pause") {
            playerState_ = "play";
        } else if (playerState_ == "close" && !activeApp_.empty()) {
            playerState_ = "play";
            positionMs_ = 0;
            durationMs_ = kStartedDurationMs;
        }
    } else if (config_.isTv && key == "PowerOff") {
        powerMode_ = "DisplayOff";
    } else if (config_.isTv && key == "PowerOn") {
        powerMode_ = "PowerOn";
    }
}

FakeHttpResponse FakeRokuDevice::deviceInfo() const {
    std::string xml = "<device-info>\n";
    const auto element = [&xml](std::string_view name, std::string_view value) {
        xml += "\t<" + std::string(name) + ">" + fakeRokuXmlEscape(value) + "</" +
               std::string(name) + ">\n";
    };
    element("udn", "28001240-0000-1000-8000-" + config_.serialNumber);
    element("serial-number", config_.serialNumber);
    element("vendor-name", "Roku");
    element("is-tv", config_.isTv ? "true" : "false");
    element("is-stick", config_.isTv ? "false" : "true");
    element("friendly-device-name",
            config_.userDeviceName.empty() ? config_.friendlyModelName : config_.userDeviceName);
    element("friendly-model-name", config_.friendlyModelName);
    element("default-device-name", config_.friendlyModelName + " - " + config_.serialNumber);
    if (!config_.userDeviceName.empty()) element("user-device-name", config_.userDeviceName);
    element("software-version", "12.5.0");
    element("power-mode", powerMode_);
    element("supports-suspend", config_.isTv ? "true" : "false");
    xml += "</device-info>\n";
    return fakeRokuXml(std::move(xml));
}

FakeHttpResponse FakeRokuDevice::appsXml() const {
    std::string xml = "<apps>\n";
    for (const auto& app : config_.apps) {
        xml += "\t<app id=\"" + fakeRokuXmlEscape(app.id) + "\" type=\"" +
               fakeRokuXmlEscape(app.type) + "\" version=\"1.0.0\">" + fakeRokuXmlEscape(app.name) +
               "</app>\n";
    }
    xml += "</apps>\n";
    return fakeRokuXml(std::move(xml));
}

FakeHttpResponse FakeRokuDevice::activeAppXml() const {
    std::string xml = "<active-app>\n";
    if (activeApp_.empty()) {
        xml += "\t<app>Roku</app>\n";
    } else {
        const auto* app = findApp(activeApp_);
        xml += "\t<app id=\"" + fakeRokuXmlEscape(activeApp_) + "\" type=\"" +
               fakeRokuXmlEscape(app ? app->type : "appl") + "\" version=\"1.0.0\">" +
               fakeRokuXmlEscape(app ? app->name : activeApp_) + "</app>\n";
    }
    xml += "</active-app>\n";
    return fakeRokuXml(std::move(xml));
}

FakeHttpResponse FakeRokuDevice::mediaPlayerXml() const {
    if (playerState_ == "close" || playerState_ == "none") {
        return fakeRokuXml("<player error=\"false\" state=\"" + fakeRokuXmlEscape(playerState_) +
                           "\"/>\n");
    }
    const auto* app = findApp(activeApp_);
    std::string xml =
        "<player error=\"false\" state=\"" + fakeRokuXmlEscape(playerState_) + "\">\n";
    xml += "\t<plugin bandwidth=\"20000000 bps\" id=\"" + fakeRokuXmlEscape(activeApp_) +
           "\" name=\"" + fakeRokuXmlEscape(app ? app->name : activeApp_) + "\"/>\n";
    xml +=
        "\t<format audio=\"aac\" captions=\"none\" container=\"mp4\" drm=\"none\" "
        "video=\"avc\"/>\n";
    xml += "\t<position>" + std::to_string(positionMs_) + " ms</position>\n";
    xml += "\t<duration>" + std::to_string(durationMs_) + " ms</duration>\n";
    xml += "\t<is_live>false</is_live>\n";
    xml += "</player>\n";
    return fakeRokuXml(std::move(xml));
}

std::vector<FakeHttpRequest> FakeRokuDevice::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> FakeRokuDevice::keypresses() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> targets;
    for (const auto& request : requests_) {
        if (request.target.starts_with("/keypress/")) targets.push_back(request.target);
    }
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

void FakeRokuDevice::setPowerMode(std::string mode) {
    std::lock_guard lock(mutex_);
    powerMode_ = std::move(mode);
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

std::string FakeRokuDevice::playerState() const {
    std::lock_guard lock(mutex_);
    return playerState_;
}

std::string FakeRokuDevice::activeAppID() const {
    std::lock_guard lock(mutex_);
    return activeApp_;
}

std::string FakeRokuDevice::powerMode() const {
    std::lock_guard lock(mutex_);
    return powerMode_;
}

}  // namespace orvel::test

#pragma once
// FakeRokuDevice: the model of one Roku device behind a fake HTTP server: it answers the ECP
// endpoints the bridge uses (query/device-info, query/apps, query/active-app,
// query/media-player, query/icon/<id>, keypress/keydown/keyup/<key>, launch/<id>) the way a
// device does, changes its state on keys and launches as a device would, and records every
// request. Free of GoogleTest; thread-safe (the server calls it from its connection threads).
//
//   FakeRokuDevice device({.serialNumber = "X0042", .userDeviceName = "Bedroom TV"});
//   LoopbackHttpServer server([&](const auto& request) { return device.handle(request); });

#include <mutex>
#include <string>
#include <vector>

#include "FakeHttp.hpp"

namespace orvel::test {

struct FakeRokuApp {
    std::string id;
    std::string name;
    std::string type = "appl";  // "tvin" for an input
};

struct FakeRokuConfig {
    std::string serialNumber = "X00000FAKE01";
    std::string userDeviceName = "Bedroom TV";  // empty: the element is left out
    std::string friendlyModelName = "Fake Roku TV";
    bool isTv = true;
    std::vector<FakeRokuApp> apps = {
        {"12", "Netflix"}, {"837", "YouTube"}, {"tvinput.hdmi1", "HDMI 1", "tvin"}};
};

class FakeRokuDevice {
public:
    explicit FakeRokuDevice(FakeRokuConfig config = {});

    FakeHttpResponse handle(const FakeHttpRequest& request);

    // Every request so far, and the targets of the keypress requests alone
    // ("/keypress/Up", "/keypress/Lit_%C3%A9"), in the order they came.
    std::vector<FakeHttpRequest> requests() const;
    std::vector<std::string> keypresses() const;
    void clearRequests();

    // Limited mode: every key (keypress, keydown, keyup), launch and icon is answered 403
    // "ECP command not allowed in Limited mode."; the other queries still answer.
    // `evenDeviceInfo`: a stricter device that refuses device-info too.
    void setLimited(bool limited, bool evenDeviceInfo = false);
    void setPowerMode(std::string mode);  // "PowerOn" (default), "Ready", "DisplayOff"...
    // The app in front (empty id: the home screen) and its player; each setter leaves the
    // other's state as it is.
    void setActiveApp(std::string id);
    void setPlayer(std::string state, int positionMs, int durationMs);
    std::string playerState() const;
    std::string activeAppID() const;
    std::string powerMode() const;

private:
    // Started playback without a duration of its own lasts this long.
    static constexpr int kStartedDurationMs = 1800000;

    // Callers hold mutex_.
    const FakeRokuApp* findApp(const std::string& id) const;
    void enterApp(std::string id);
    void pressKey(const std::string& key);
    FakeHttpResponse deviceInfo() const;
    FakeHttpResponse appsXml() const;
    FakeHttpResponse activeAppXml() const;
    FakeHttpResponse mediaPlayerXml() const;

    mutable std::mutex mutex_;
    FakeRokuConfig config_;
    std::vector<FakeHttpRequest> requests_;
    bool limited_ = false;
    bool limitsDeviceInfo_ = false;
    std::string powerMode_ = "PowerOn";
    std::string activeApp_;
    std::string playerState_ = "close";
    int positionMs_ = 0;
    int durationMs_ = 0;
};

}  // namespace orvel::test

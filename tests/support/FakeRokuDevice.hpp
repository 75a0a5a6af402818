#pragma once
// FakeRokuDevice: one Roku behind a LoopbackHttpServer, answering the ECP queries, keys and
// launches the bridge uses as a device does, and recording every request. Free of GoogleTest;
// thread-safe, since the server calls it from its connection threads.
//
//   LoopbackHttpServer server([&](const auto& request) { return device.handle(request); });

#include <mutex>
#include <string>
#include <vector>

#include "LoopbackHttpServer.hpp"

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
    std::string wifiMac = "02:00:00:0a:0b:01";  // empty: the element is left out
    std::string ethernetMac = "02:00:00:0a:0b:02";
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

    // Limited mode: every key and launch is answered 403 "ECP command not allowed in Limited
    // mode."; the queries still answer. `evenDeviceInfo`: a stricter device that refuses
    // device-info too.
    void setLimited(bool limited, bool evenDeviceInfo = false);
    // The app in front (empty id: the home screen) and its player.
    void setActiveApp(std::string id);
    void setPlayer(std::string state, int positionMs, int durationMs);

private:
    // Callers hold mutex_.
    const FakeRokuApp* findApp(const std::string& id) const;

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

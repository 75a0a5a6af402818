#pragma once
// DeviceTransport: an HttpTransport on a ManualLoop that hands each request to the fake Roku
// at its address, answering after a virtual latency; an address nobody is at (or one made
// unreachable) fails after the transport's time-out, as a silent TV does. Test thread only.

#include <map>
#include <string>

#include "../support/FakeRokuDevice.hpp"
#include "bridge/HttpTransport.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel::test {

class DeviceTransport final : public HttpTransport {
public:
    static constexpr double kTimeout = 5.0;

    explicit DeviceTransport(ManualLoop& loop) : loop_(loop) {}

    void place(const std::string& hostPort, FakeRokuDevice* device) { devices_[hostPort] = device; }
    void setLatency(double seconds) { latency_ = seconds; }

    TimerHandle send(HttpRequest request, HttpDone done) override {
        const std::string rest = request.url.substr(std::string("http://").size());
        const auto slash = rest.find('/');
        const std::string hostPort = rest.substr(0, slash);
        auto device = devices_.find(hostPort);
        if (device == devices_.end() || !device->second) {
            HttpResponse silence{"timed out", true, 0, {}};
            return loop_.postAfter(kTimeout, [done, silence] { done(silence); });
        }
        FakeHttpRequest asked{request.method == HttpMethod::post ? "POST" : "GET",
                              rest.substr(slash),
                              {{"host", hostPort}},
                              {}};
        const FakeHttpResponse answer = device->second->handle(asked);
        HttpResponse response{{}, false, answer.status, answer.body};
        return loop_.postAfter(latency_, [done, response] { done(response); });
    }

private:
    ManualLoop& loop_;
    std::map<std::string, FakeRokuDevice*> devices_;
    double latency_ = 0.01;
};

}  // namespace orvel::test

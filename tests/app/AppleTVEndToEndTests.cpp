// The headless app and the tool's requests against a fake Apple TV on loopback, through the
// real bridge: pairing from the session, keys, power and the status the tool prints.

#include <gtest/gtest.h>

#include "../support/FakeAppleTV.hpp"
#include "InProcessApp.hpp"

namespace orvel::test {
namespace {

#ifdef ORVEL_BRIDGE_DIR
class AppleTVEndToEnd : public InProcessApp {
protected:
    AppleTVEndToEnd() {
        onFake([&] { tv = std::make_unique<FakeAppleTV>(fakeThread.loop()); });
        profile.useAppleTVs("127.0.0.1:" + std::to_string(port()));
    }
    ~AppleTVEndToEnd() override {
        onLoop([&] { app.reset(); });
        onFake([&] { tv.reset(); });
    }

    void onFake(const std::function<void()>& work) { on(fakeThread, work); }
    int port() {
        int port = 0;
        onFake([&] { port = tv->port(); });
        return port;
    }
    std::vector<FakeAppleTV::Press> presses() {
        std::vector<FakeAppleTV::Press> seen;
        onFake([&] { seen = tv->presses(); });
        return seen;
    }
    std::string id() { return "appletv:127.0.0.1:" + std::to_string(port()); }

    // Launches the app, pairs the fake TV from the session and waits until it is connected.
    void pairAndConnect() {
        launch();
        const TVDevice device(id(), "Den", {"Companion"});
        onLoop([&] { app->store().pair(device); });
        ASSERT_TRUE(eventually([&] {
            bool waiting = false;
            onLoop([&] {
                const auto& state = app->store().state();
                waiting = state.pairingDevice && !state.pairingBusy;
            });
            return waiting;
        }));
        onLoop([&] {
            app->store().setPairingPIN("1234");
            app->store().submitPIN();
        });
        ASSERT_TRUE(eventually(
            [&] {
                const auto shown = ask({"status"}).value("tv", nlohmann::json::object());
                return shown.value("connected", false) && shown.value("power", "") == "On";
            },
            20))
            << ask({"status"});
    }

    LoopThread fakeThread;
    std::unique_ptr<FakeAppleTV> tv;  // fake thread only
};

// Apps, typing and the volume are the backend's to test (AppleTVBackendTest); here: the
// whole way from the session's pairing to the keys the tool sends.
TEST_F(AppleTVEndToEnd, PairsFromTheSessionThenTakesKeysAndPowerFromTheTool) {
    ASSERT_NO_FATAL_FAILURE(pairAndConnect());
    EXPECT_TRUE(ControlMessage::isSuccess(ask({"up", "3"})));
    const FakeAppleTV::Press down{1, 1};
    const FakeAppleTV::Press up{1, 2};
    EXPECT_EQ(presses(), (std::vector<FakeAppleTV::Press>{down, up, down, up, down, up}));

    const auto status = ask({"status"})["tv"];
    EXPECT_EQ(status["kind"], "Apple TV") << status;
    EXPECT_EQ(status["capabilities"].size(), 17u) << status;
    EXPECT_TRUE(ControlMessage::isSuccess(ask({"power"})));
    EXPECT_EQ(presses().back(), (FakeAppleTV::Press{12, 2})) << "the TV was on: it sleeps";
}
#endif

}  // namespace
}  // namespace orvel::test

// OrvelRemote --headless and orvel against a fake Roku on 127.0.0.1: the real bridge, without
// simulation, reaching the TV over HTTP. Real processes; every wait is bounded.

#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "../support/FakeRokuDevice.hpp"
#include "../support/HeadlessAppFixture.hpp"
#include "../support/LoopbackHttpServer.hpp"

namespace orvel::test {
namespace {

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
class HeadlessRoku : public HeadlessApp {
protected:
    void SetUp() override {
        HeadlessApp::SetUp();
        testing::ScratchDir::write(dir / "config/Orvel Remote/defaults.json", R"({
            "pairedDevices": [{"id": "roku:X00000FAKE01", "name": "Bedroom TV", "protocols": []}],
            "lastDevice": "roku:X00000FAKE01"})");
        environment.unset("ORVEL_SIMULATE");
        environment.set("ORVEL_ROKU_HOSTS", server.hostPort());
    }

    FakeRokuDevice tv;
    LoopbackHttpServer server{
        [this](const FakeHttpRequest& request) { return tv.handle(request); }};
};

TEST_F(HeadlessRoku, TheToolDrivesARealRokuThroughTheAppAndTheBridge) {
    launch();
    const auto tvs = tool({"tvs"});
    EXPECT_EQ(tvs.status, 0);
    EXPECT_TRUE(printed(tvs.out, "* Bedroom TV — Roku…")) << tvs.out;

    tv.clearRequests();
    EXPECT_EQ(tool({"up", "3"}).status, 0);
    EXPECT_EQ(tv.keypresses(), std::vector<std::string>(3, "/keypress/Up"));

    EXPECT_EQ(tool({"launch", "netflix"}).status, 0);
    EXPECT_EQ(tv.activeAppID(), "12");
    tv.clearRequests();
    EXPECT_EQ(tool({"type", "né 字"}).status, 0);
    EXPECT_EQ(tv.keypresses(),
              (std::vector<std::string>{"/keypress/Lit_n", "/keypress/Lit_%C3%A9",
                                        "/keypress/Lit_%20", "/keypress/Lit_%E5%AD%97"}));

    // The bridge notices the app in front with its next look at the TV.
    nlohmann::json status;
    ASSERT_TRUE(eventually(
        [&] {
            status = nlohmann::json::parse(tool({"--json", "status"}).out, nullptr, false);
            return status.is_object() && status["tv"].value("appId", "") == "12";
        },
        10));
    EXPECT_EQ(status["tv"]["appIcon"], "http://" + server.hostPort() + "/query/icon/12");
    EXPECT_EQ(status["tv"]["app"], "Netflix");

    tv.setLimited(true);
    const auto limited = tool({"up"});
    EXPECT_EQ(limited.status, 1);
    EXPECT_NE(limited.err.find("Control by mobile apps"), std::string::npos) << limited.err;
}

#endif

}  // namespace
}  // namespace orvel::test

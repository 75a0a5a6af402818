// OrvelRemote --headless when its bridge stops answering: the tool still gets one answer in
// bounded time and the app lives on. Takes about half a minute of real time (the app's own
// time-outs), so it stays the only test of its kind.

#include <gtest/gtest.h>

#include <string>

#include "../support/HeadlessAppFixture.hpp"

namespace orvel::test {
namespace {

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
using HeadlessFaults = HeadlessApp;

TEST_F(HeadlessFaults, APressTheBridgeNeverAnswersEndsInATimeOutMessage) {
    useHousehold(R"({
        "tvs": [{"id": "roku:sim-bedroom", "name": "Bedroom TV"}],
        "faults": [{"op": "command", "noReply": true}]})");
    launch();
    // Whichever time-out comes first answers: the bridge request's or the server's.
    const auto run = tool({"up"}, 45);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err == "orvel: The TV did not respond. Reconnect to try again.\n" ||
                run.err == "orvel: The TV didn't answer in time.\n")
        << run.err;
    EXPECT_TRUE(app->running());
    EXPECT_EQ(tool({"tvs"}).status, 0);
}
#endif

}  // namespace
}  // namespace orvel::test

#include "bridge/appletv/CompanionBrowser.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "../../support/LoopThread.hpp"
#include "../../support/ScopedEnvironment.hpp"
#include "bridge/appletv/TxtRecord.hpp"

namespace orvel {
namespace {

TEST(TxtRecord, KeysAreLowerCasedAndTheFirstOfEachKeyCounts) {
    using Record = std::map<std::string, std::string>;
    const std::vector<std::pair<std::vector<std::string_view>, Record>> cases = {
        {{}, {}},
        {{"rpMd=AppleTV6,2", "rpFl=0x36782"}, {{"rpmd", "AppleTV6,2"}, {"rpfl", "0x36782"}}},
        {{"rpVr=195.2", "RPVR=1.0"}, {{"rpvr", "195.2"}}},
        {{"rpBA=E1:B2=E3"}, {{"rpba", "E1:B2=E3"}}},
        {{"rpMac", "empty="}, {{"rpmac", ""}, {"empty", ""}}},
        {{"=orphan", ""}, {}},
        {{std::string_view("b\0n=v\0x", 7)}, {{std::string("b\0n", 3), std::string("v\0x", 3)}}},
    };
    for (const auto& [entries, record] : cases) {
        EXPECT_EQ(readTxtRecord(entries), record) << (entries.empty() ? "" : entries.front());
    }
}

// No daemon can answer: the system bus is a socket that does not exist.
TEST(CompanionBrowser, WithoutTheDaemonCompletesOnTheNextTurnWithNoTVsAndSaysWhy) {
    const test::ScopedEnvironment bus{"DBUS_SYSTEM_BUS_ADDRESS",
                                      "unix:path=/nonexistent/orvel-test/system_bus_socket"};
    PollLoop loop;
    CompanionBrowser browser{loop, 3600};
    int calls = 0;
    std::optional<AppleTVScan> got;
    auto pending = browser.search([&](AppleTVScan scan) {
        ++calls;
        got = std::move(scan);
        loop.quit();
    });
    EXPECT_EQ(calls, 0) << "completed inside search()";
    EXPECT_TRUE(test::runGuarded(loop, 10.0)) << "waited for the window";
    EXPECT_FALSE(test::runGuarded(loop, 0.05));
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(got);
    EXPECT_TRUE(got->tvs.empty());
    EXPECT_EQ(got->notice, "Apple TVs are found only while the Avahi daemon runs.");

    auto cancelled = browser.find(3600, [&](const AppleTVScan&) { ++calls; });
    cancelled.cancel();
    EXPECT_FALSE(test::runGuarded(loop, 0.05));
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace orvel

#include "bridge/appletv/AppleTVHosts.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "bridge/appletv/FixedAppleTVHosts.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel {
namespace {

using Hosts = std::vector<std::string>;

TEST(AppleTVHosts, SettingGivesAddressesWithTheirPortsOrNamesTheBadEntry) {
    // The list's syntax is shared with the Roku's (its tests); an Apple TV has no usual port.
    const std::vector<std::pair<std::string_view, Hosts>> good = {
        {" 192.0.2.7:49153 ,192.0.2.8:49154", {"192.0.2.7:49153", "192.0.2.8:49154"}},
        {"192.0.2.7:49153,192.0.2.7:49154,192.0.2.7:49153", {"192.0.2.7:49153", "192.0.2.7:49154"}},
    };
    for (const auto& [setting, hosts] : good) {
        auto parsed = parseAppleTVHosts(setting);
        ASSERT_TRUE(std::holds_alternative<Hosts>(parsed))
            << setting << ": " << std::get<std::string>(parsed);
        EXPECT_EQ(std::get<Hosts>(parsed), hosts) << setting;
    }

    const std::vector<std::pair<std::string_view, std::string>> bad = {
        {"192.0.2.7", "\"192.0.2.7\" without its port; write it as \"192.0.2.7:port\"."},
        {"192.0.2.7:49153, [::1]", "\"[::1]\" without its port; write it as \"[::1]:port\"."},
        {"192.0.2.7:0", "\"192.0.2.7:0\", whose port is not a number from 1 to 65535."},
        {"fe80::1", "\"fe80::1\", an IPv6 address without brackets; write it as \"[fe80::1]\"."},
    };
    for (const auto& [setting, error] : bad) {
        auto parsed = parseAppleTVHosts(setting);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << setting;
        EXPECT_EQ(std::get<std::string>(parsed), "ORVEL_APPLETV_HOSTS lists " + error) << setting;
    }
}

TEST(FixedAppleTVHosts, ReportsEachAddressAndPortLaterAndNothingOnceCancelled) {
    ManualLoop loop;
    FixedAppleTVHosts hosts(loop, {"192.0.2.7:49153", "[::1]:49154"});
    std::optional<AppleTVScan> got;
    auto pending = hosts.search([&](AppleTVScan scan) { got = std::move(scan); });
    EXPECT_FALSE(got);
    loop.runUntilIdle();
    ASSERT_TRUE(got);
    ASSERT_EQ(got->tvs.size(), 2U);
    EXPECT_EQ(got->tvs[0].address, "192.0.2.7");
    EXPECT_EQ(got->tvs[0].port, 49153);
    EXPECT_EQ(got->tvs[1].address, "[::1]");
    EXPECT_EQ(got->tvs[1].port, 49154);
    EXPECT_TRUE(got->tvs[1].name.empty() && got->tvs[1].txt.empty());
    EXPECT_FALSE(got->notice);

    got.reset();
    auto cancelled = hosts.search([&](AppleTVScan scan) { got = std::move(scan); });
    cancelled.cancel();
    loop.runUntilIdle();
    EXPECT_FALSE(got);
}

}  // namespace
}  // namespace orvel

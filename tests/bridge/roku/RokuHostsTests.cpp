#include "bridge/roku/RokuHosts.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "bridge/roku/FixedRokuHosts.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel {
namespace {

using Hosts = std::vector<std::string>;

TEST(RokuHosts, SettingGivesAddressesWithPortsOrNamesTheBadEntry) {
    const std::vector<std::pair<std::string_view, Hosts>> good = {
        {"", {}},
        {" , ,", {}},
        {"192.0.2.7", {"192.0.2.7:8060"}},
        {" 192.0.2.7:9000 ,192.0.2.8", {"192.0.2.7:9000", "192.0.2.8:8060"}},
        {"192.0.2.7,192.0.2.7:8060, 192.0.2.7", {"192.0.2.7:8060"}},
        {"[::1]", {"[::1]:8060"}},
        {"[0:0::1]:8061,[::1]:8061", {"[::1]:8061"}},
    };
    for (const auto& [setting, hosts] : good) {
        auto parsed = parseRokuHosts(setting);
        ASSERT_TRUE(std::holds_alternative<Hosts>(parsed))
            << setting << ": " << std::get<std::string>(parsed);
        EXPECT_EQ(std::get<Hosts>(parsed), hosts) << setting;
    }

    const std::string notIP = "\", which is not an IP address.";
    const std::string badPort = "\", whose port is not a number from 1 to 65535.";
    const std::vector<std::pair<std::string_view, std::string>> bad = {
        {"tv.local", "tv.local" + notIP},
        {"192.0.2.7, tv.local:8060", "tv.local:8060" + notIP},
        {"192.0.2.256", "192.0.2.256" + notIP},
        {"[::1", "[::1" + notIP},
        {"[::1]x", "[::1]x" + notIP},
        {"192.0.2.7:99999", "192.0.2.7:99999" + badPort},
        {"192.0.2.7:0", "192.0.2.7:0" + badPort},
        {"192.0.2.7:", "192.0.2.7:" + badPort},
        {"[::1]:+80", "[::1]:+80" + badPort},
        {"fe80::1", "fe80::1\", an IPv6 address without brackets; write it as \"[fe80::1]\"."},
    };
    for (const auto& [setting, error] : bad) {
        auto parsed = parseRokuHosts(setting);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << setting;
        EXPECT_EQ(std::get<std::string>(parsed), "ORVEL_ROKU_HOSTS lists \"" + error) << setting;
    }
}

TEST(FixedRokuHosts, CompletesLaterAndNotOnceCancelled) {
    ManualLoop loop;
    FixedRokuHosts hosts(loop, {"192.0.2.7:8060"});
    std::optional<Hosts> got;
    auto pending = hosts.search([&](Hosts found) { got = std::move(found); });
    EXPECT_FALSE(got);
    loop.runUntilIdle();
    EXPECT_EQ(got, Hosts{"192.0.2.7:8060"});

    got.reset();
    auto cancelled = hosts.search([&](Hosts found) { got = std::move(found); });
    cancelled.cancel();
    loop.runUntilIdle();
    EXPECT_FALSE(got);
}

}  // namespace
}  // namespace orvel

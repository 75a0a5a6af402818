#include "bridge/roku/FixedRokuHosts.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "platform/ManualLoop.hpp"

namespace orvel {
namespace {

using Hosts = std::vector<std::string>;

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

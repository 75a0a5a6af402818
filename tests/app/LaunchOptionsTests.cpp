#include "app/LaunchOptions.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace orvel {
namespace {

TEST(LaunchOptions, FlagsMatchExactlyAtAnyPosition) {
    struct Row {
        std::vector<const char*> arguments;
        bool demo;
        bool headless;
    };
    const std::vector<Row> table = {
        {{}, false, false},
        {{"--demo"}, true, false},
        {{"--show-remote", "--headless", "--demo"}, true, true},
        {{"--Demo", "-demo", "--demo=1", "demo", "-headless"}, false, false},
        {{"--media-key-diagnostics", "--demo"}, true, false},
    };
    for (const auto& row : table) {
        auto options = LaunchOptions::parse(row.arguments);
        EXPECT_EQ(options.demo, row.demo);
        EXPECT_EQ(options.headless, row.headless);
    }
}

}  // namespace
}  // namespace orvel

#include "app/LaunchOptions.hpp"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace orvel {
namespace {

// Every field, to compare and print whole.
auto fields(const LaunchOptions& o) {
    return std::tuple(o.demo, o.headless, o.showRemote, o.help, o.version, o.mediaKeyDiagnostics,
                      o.renderIcon, o.renderPreviews);
}

TEST(LaunchOptions, TakesEachKnownArgumentAtAnyPosition) {
    struct Row {
        std::vector<const char*> arguments;
        LaunchOptions expected;
    };
    const std::vector<Row> table = {
        {{}, {}},
        {{"--headless"}, {.headless = true}},
        {{"--show-remote", "--demo"}, {.demo = true, .showRemote = true}},
        {{"--version", "--help"}, {.help = true, .version = true}},
        {{"--render-icon", "/tmp/icons", "--headless"},
         {.headless = true, .renderIcon = "/tmp/icons"}},
        // The argument after a path flag is its value, whatever it looks like.
        {{"--render-previews", "--headless"}, {.renderPreviews = "--headless"}},
        {{"--media-key-diagnostics", ""}, {.mediaKeyDiagnostics = ""}},
        {{"--render-icon", "a", "--render-icon", "b"}, {.renderIcon = "a"}},
        // A path flag with nothing after it is ignored.
        {{"--headless", "--render-icon"}, {.headless = true}},
        {{"--media-key-diagnostics"}, {}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        const auto parsed = LaunchOptions::parse(row.arguments);
        ASSERT_TRUE(parsed) << parsed.error();
        EXPECT_EQ(fields(*parsed), fields(row.expected));
    }
}

TEST(LaunchOptions, RefusesAnythingElseInOneSentence) {
    const std::string demoHeadless =
        "--demo cannot run with --headless; for simulated TVs, run with ORVEL_SIMULATE=1.";
    const std::pair<std::vector<const char*>, std::string> table[] = {
        {{"--Demo"}, "Unknown argument \"--Demo\"; see OrvelRemote --help."},
        {{"--headless", "-demo"}, "Unknown argument \"-demo\"; see OrvelRemote --help."},
        {{"--demo=1"}, "Unknown argument \"--demo=1\"; see OrvelRemote --help."},
        {{"headless"}, "Unknown argument \"headless\"; see OrvelRemote --help."},
        {{""}, "Unknown argument \"\"; see OrvelRemote --help."},
        {{"--help", "--bogus"}, "Unknown argument \"--bogus\"; see OrvelRemote --help."},
        {{"--render-icon", "x", "y"}, "Unknown argument \"y\"; see OrvelRemote --help."},
        {{"--headless", "--demo"}, demoHeadless},
        {{"--demo", "--show-remote", "--headless"}, demoHeadless},
    };
    for (const auto& [arguments, sentence] : table) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const auto parsed = LaunchOptions::parse(arguments);
        ASSERT_FALSE(parsed);
        EXPECT_EQ(parsed.error(), sentence);
    }
}

}  // namespace
}  // namespace orvel

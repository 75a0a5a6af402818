#include "core/TVSummary.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvel {
namespace {

TEST(TVSummary, PositionRoundsToOneDecimalHalvesAwayFromZero) {
    const std::vector<std::pair<double, std::string>> table = {
        {100.04, "100.0"}, {100.05, "100.1"}, {0.25, "0.3"}, {0.24, "0.2"},
        {-0.25, "-0.3"},   {59.95, "60.0"},   {7.0, "7.0"},  {0.0, "0.0"},
    };
    // The written JSON is what the tool and scripts see.
    for (const auto& [seconds, text] : table) {
        EXPECT_EQ(nlohmann::json(TVSummary::roundedPosition(seconds)).dump(), text) << seconds;
    }
    const double huge = std::numeric_limits<double>::max();
    EXPECT_EQ(TVSummary::roundedPosition(huge), huge);
    EXPECT_TRUE(std::isnan(TVSummary::roundedPosition(std::nan(""))));
}

TEST(TVSummary, PositionAdvancesWhilePlayingUpToAPositiveDuration) {
    struct Row {
        double recorded, at, duration, now;
        bool playing;
        double expected;
    };
    const std::vector<Row> table = {
        {10, 100, 300, 105, true, 15},    {10, 100, 300, 105, false, 10},
        {290, 100, 300, 120, true, 300},  {290, 100, 0, 120, true, 310},
        {400, 100, 300, 100, false, 300},
    };
    for (const auto& r : table) {
        EXPECT_DOUBLE_EQ(TVSummary::currentPosition(r.recorded, r.at, r.duration, r.now, r.playing),
                         r.expected);
    }
}

TEST(TVSummary, AppIconOnlyForRokuWithAddressAndApp) {
    struct Row {
        std::string id, address, appId;
        std::optional<std::string> expected;
    };
    const std::vector<Row> table = {
        {"roku:x", "10.0.0.5:8060", "12", "http://10.0.0.5:8060/query/icon/12"},
        {"roku:x", "10.0.0.5:8060", "tvinput/hdmi 1",
         "http://10.0.0.5:8060/query/icon/tvinput%2Fhdmi%201"},
        {"roku:x", "", "12", std::nullopt},
        {"roku:x", "h", "", std::nullopt},
        {"Roku:x", "h", "12", std::nullopt},
        {"sim:living-room", "h", "12", std::nullopt},
    };
    for (const auto& r : table) {
        EXPECT_EQ(TVSummary::appIconUrl(r.id, r.address, r.appId), r.expected) << r.appId;
    }
}

}  // namespace
}  // namespace orvel

// What the app shows and follows of the TVs' playback: the summary's position and icon, the
// optimistic play/pause state, and which TV to follow.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/FollowPolicy.hpp"
#include "core/PlaybackFeedback.hpp"
#include "core/TVSummary.hpp"

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

TEST(PlaybackFeedback, ContradictingReportsWaitUntilExpiry) {
    PlaybackFeedback feedback;
    EXPECT_EQ(feedback.command(RemoteAction::playPause, 100), 1);
    EXPECT_TRUE(feedback.value());
    EXPECT_EQ(feedback.pending()->expires, 102.5);

    feedback.receive(false, 101);
    EXPECT_TRUE(feedback.value());
    feedback.receive(false, 102.5);  // expiry itself takes the TV's word
    EXPECT_FALSE(feedback.value());
    EXPECT_FALSE(feedback.pending());
}

TEST(PlaybackFeedback, AgreeingReportConfirmsAtOnce) {
    PlaybackFeedback feedback;
    feedback.receive(true, 5);
    EXPECT_EQ(feedback.command(RemoteAction::pause, 10), 1);
    feedback.receive(false, 10.1);
    EXPECT_FALSE(feedback.pending());
    feedback.failed(1);  // too late: already confirmed
    EXPECT_FALSE(feedback.value());
}

TEST(PlaybackFeedback, OnlyThePendingRevisionRollsBack) {
    PlaybackFeedback feedback;
    feedback.command(RemoteAction::play, 1);                     // 1: false -> true
    EXPECT_EQ(feedback.command(RemoteAction::playPause, 2), 2);  // 2: true -> false, replaces 1
    feedback.failed(1);
    EXPECT_FALSE(feedback.value());
    feedback.failed(2);  // back to the optimistic value of command 1, not the TV's last word
    EXPECT_TRUE(feedback.value());
    EXPECT_FALSE(feedback.pending());
}

TEST(PlaybackFeedback, OtherActionsAndResetKeepTheRevisionCount) {
    PlaybackFeedback feedback;
    for (RemoteAction action : kAllRemoteActions) {
        if (action == RemoteAction::play || action == RemoteAction::pause ||
            action == RemoteAction::playPause) {
            continue;
        }
        EXPECT_EQ(feedback.command(action, 1), std::nullopt) << rawValue(action);
    }
    EXPECT_EQ(feedback.revision(), 0);

    feedback.command(RemoteAction::play, 1);
    feedback.command(RemoteAction::playPause, 2);
    feedback.reset();
    EXPECT_FALSE(feedback.value());
    EXPECT_FALSE(feedback.pending());
    EXPECT_EQ(feedback.command(RemoteAction::pause, 3), 3);
}

using FollowPolicy::Candidate;

TEST(FollowPolicy, DecidesByTheTieRules) {
    const struct {
        const char* name;
        const char* current;
        bool currentPlaying;
        std::vector<Candidate> candidates;
        std::optional<std::string> expected;
    } cases[] = {
        {"empty list", "a", false, {}, std::nullopt},
        {"selected plays", "a", true, {{"b", true, 900}}, std::nullopt},
        {"selected plays, disconnected", "a", false, {{"b", true, 900}, {"a", true, 10}}, {}},
        {"only the selected TV", "a", false, {{"a", false, 0}}, std::nullopt},
        {"nobody else plays", "a", false, {{"a", false, 0}, {"b", false, 5}}, std::nullopt},
        {"latest start wins",
         "",
         false,
         {{"a", true, 100}, {"b", true, 250}, {"c", false, 900}},
         "b"},
        {"tie goes to the first", "", false, {{"a", true, 250}, {"b", true, 250}}, "a"},
        {"unknown start loses", "", false, {{"a", true, 0}, {"b", true, 3}}, "b"},
        {"idle selected TV ignored", "a", false, {{"a", false, 0}, {"b", true, 1}}, "b"},
        {"NaN start is unknown", "", false, {{"a", true, NAN}, {"b", true, 1}}, "b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FollowPolicy::target(c.current, c.currentPlaying, c.candidates), c.expected)
            << c.name;
    }
}

}  // namespace
}  // namespace orvel

#include "core/PlaybackFeedback.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

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

}  // namespace
}  // namespace orvel

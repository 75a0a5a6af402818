#include "control/ControlSummary.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using nlohmann::json;

const TVDevice kRoku("roku:den", "Den", {});
const TVDevice kApple("sim:hall", "Hall");

TEST(ControlSummary, ATVNeverConnected) {
    AppState state;
    EXPECT_EQ(ControlSummary::build(kApple, state, 0), json::parse(R"({
        "name":"Hall","kind":"Apple TV","selected":false,"connected":false,"playing":false,
        "title":"","app":"","power":"Unknown","capabilities":[],"appId":"","address":""})"));
}

TEST(ControlSummary, PositionIsCarriedForwardWhilePlayingAndCappedAtTheDuration) {
    struct Row {
        bool playing;
        double recorded, duration, elapsed;
        double expected;
    };
    // TVSummary's own tests walk the rounding and the cap; these show they are applied.
    const std::vector<Row> table = {
        {false, 100.05, 300, 50, 100.1}, {true, 100, 300, 12.34, 112.3}, {true, 290, 300, 20, 300}};
    for (const auto& row : table) {
        AppState state;
        TVStatus status;
        status.playing = row.playing;
        state.statuses[kApple.id] = status;
        state.progress[kApple.id] = {"Band", row.recorded, row.duration, 1000};
        auto summary = ControlSummary::build(kApple, state, 1000 + row.elapsed);
        EXPECT_DOUBLE_EQ(summary["position"].get<double>(), row.expected) << row.recorded;
        EXPECT_EQ(summary["artist"], "Band");
        EXPECT_EQ(summary["duration"], row.duration);
    }
}

TEST(ControlSummary, TheSelectedTVSpeaksThroughTheLiveState) {
    AppState state;
    state.selectedID = kRoku.id;
    state.connected = true;
    state.playing = true;
    state.title = "Live";
    state.notice = "Remote apps are blocked.";
    state.volume = 25;
    state.capabilities = {RemoteAction::up, RemoteAction::back};
    TVStatus recorded;  // an older record
    recorded.title = "Old";
    recorded.address = "127.0.0.1:8060";
    recorded.appID = "tv input/1";
    state.statuses[kRoku.id] = recorded;

    auto summary = ControlSummary::build(kRoku, state, 0);
    EXPECT_EQ(summary["title"], "Live");
    EXPECT_EQ(summary["capabilities"], json({"back", "up"}));
    EXPECT_EQ(summary["notice"], "Remote apps are blocked.");
    EXPECT_EQ(summary["volume"], 25.0);
    EXPECT_EQ(summary["appId"], "tv input/1");
    EXPECT_EQ(summary["appIcon"], "http://127.0.0.1:8060/query/icon/tv%20input%2F1");

    state.selectedID = "other";
    summary = ControlSummary::build(kRoku, state, 0);
    EXPECT_EQ(summary["title"], "Old");
    EXPECT_FALSE(summary.contains("notice") || summary.contains("volume"));
}

}  // namespace
}  // namespace orvel

#include "control/ControlSummary.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using nlohmann::json;

const TVDevice kRoku("roku:den", "Den", {});

TEST(ControlSummary, ATVNeverConnected) {
    EXPECT_EQ(ControlSummary::build(TVDevice("sim:hall", "Hall"), AppState(), 0), json::parse(R"({
        "name":"Hall","kind":"Apple TV","selected":false,"connected":false,"playing":false,
        "title":"","app":"","power":"Unknown","capabilities":[],"appId":"","address":""})"));
}

// The selected TV speaks through the live state, any other through its record.
TEST(ControlSummary, TheSelectedTVSpeaksThroughTheLiveState) {
    AppState state;
    state.selectedID = kRoku.id;
    state.connected = state.playing = true;
    state.title = "Live";
    state.notice = "Remote apps are blocked.";
    state.error = "The TV helper is missing.";
    state.volume = 25;
    state.capabilities = {RemoteAction::up, RemoteAction::back};
    TVStatus& recorded = state.statuses[kRoku.id];
    recorded.title = "Old";
    recorded.address = "127.0.0.1:8060";
    recorded.appID = "tv input/1";
    state.progress[kRoku.id] = {"Band", 290.05, 300, 1000};

    // The position is carried forward up to the duration.
    auto summary = ControlSummary::build(kRoku, state, 1012.34);
    EXPECT_EQ(summary, json::parse(R"({"name":"Den","kind":"Roku","selected":true,
        "connected":true,"playing":true,"title":"Live","app":"","power":"Unknown",
        "capabilities":["back","up"],"appId":"tv input/1","address":"127.0.0.1:8060",
        "appIcon":"http://127.0.0.1:8060/query/icon/tv%20input%2F1","artist":"Band",
        "duration":300,"position":300,"notice":"Remote apps are blocked.",
        "error":"The TV helper is missing.","volume":25})"));

    state.selectedID = "other";
    summary = ControlSummary::build(kRoku, state, 1012.34);
    EXPECT_EQ(summary["title"], "Old");
    EXPECT_DOUBLE_EQ(summary["position"].get<double>(), 290.1) << "not playing: only rounded";
    EXPECT_FALSE(summary.contains("notice") || summary.contains("volume") ||
                 summary.contains("error"));
}

}  // namespace
}  // namespace orvel

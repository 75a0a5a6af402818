// What a request names, and the summary of a TV that answers it.

#include "control/ControlTarget.hpp"

#include <gtest/gtest.h>

#include "control/ControlSummary.hpp"

namespace orvel::control_target_test {
namespace {

using nlohmann::json;

const TVDevice kLiving{"sim:living-room", "Living Room", {}};
const TVDevice kKitchen{"sim:kitchen", "Kitchen", {}};
const TVDevice kDen{"roku:den", "Kitchen Den", {}};

AppState paired(std::vector<TVDevice> saved, std::string selected) {
    AppState state;
    state.savedDevices = std::move(saved);
    state.selectedID = std::move(selected);
    return state;
}

template <typename T>
std::string refusal(const Result<T>& result) {
    return result ? "" : "error: " + result.error();
}

TEST(ControlTarget, TheNamedTVOrTheSelectedOne) {
    const AppState household = paired({kLiving, kKitchen, kDen}, kKitchen.id);
    const std::string noneSelected = "error: No TV selected. Pick one in Orvel, or pass --tv NAME.";
    const std::string unreadable = "error: Orvel couldn't read that request.";
    const struct {
        AppState state;
        json request;
        std::string device;         // what a command acts on
        std::string watched = "=";  // what a watch follows ("" the selected one, "=" as device)
    } cases[] = {
        {household, json::object(), kKitchen.id, ""},
        {household, {{"tv", 5}}, unreadable},
        {household, {{"tv", nullptr}}, unreadable},
        {household, {{"tv", {"Kitchen"}}}, unreadable},
        {household, {{"tv", "liv"}}, kLiving.id},
        {household, {{"tv", "  KITCHEN "}}, kKitchen.id},
        {household, {{"tv", " KIT"}}, "error: \" KIT\" could mean Kitchen or Kitchen Den."},
        {household,
         {{"tv", "zzz"}},
         "error: No paired TV is called \"zzz\". Paired: Living Room, Kitchen, Kitchen Den."},
        {paired({kLiving}, ""), json::object(), noneSelected, ""},
        {paired({kLiving}, "sim:gone"), json::object(), noneSelected, ""},
        {paired({}, ""), json::object(),
         "error: No TVs paired. Pair one in Orvel Remote's Settings."},
        {paired({}, ""), {{"tv", "x"}}, "error: No paired TV is called \"x\"."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request.dump() + " selected " + c.state.selectedID);
        const auto device = ControlTarget::device(c.state, c.request);
        EXPECT_EQ(device ? device->id : refusal(device), c.device);
        const auto watched = ControlTarget::watched(c.state, c.request);
        EXPECT_EQ(watched ? watched->value_or("") : refusal(watched),
                  c.watched == "=" ? c.device : c.watched);
    }
}

TEST(ControlTarget, TheAppALaunchNames) {
    const std::vector<NamedEntry> apps = {{"netflix", "Netflix"},
                                          {"tvinput.hdmi1", "HDMI 1"},
                                          {"tvinput.hdmi2", "HDMI 2"},
                                          {"HDMI", "Input Picker"}};
    const struct {
        std::string query;
        std::vector<NamedEntry> apps;
        std::string chosen;
    } cases[] = {
        {"tvinput.hdmi2", apps, "tvinput.hdmi2"},
        {"HDMI", apps, "HDMI"},  // an exact identifier before any name
        {"net", apps, "netflix"},
        {"hdmi", apps, "error: \"hdmi\" could mean HDMI 1 or HDMI 2."},
        {"zzz", apps, "error: Den has no app called \"zzz\". Run orvel apps to see them."},
        {"zzz", {}, "error: Den didn't list any apps."},
    };
    for (const auto& c : cases) {
        const auto chosen = ControlTarget::app(c.query, c.apps, "Den");
        EXPECT_EQ(chosen ? *chosen : refusal(chosen), c.chosen) << c.query;
    }
}

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
}  // namespace orvel::control_target_test

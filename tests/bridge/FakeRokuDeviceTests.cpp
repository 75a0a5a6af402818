// The fake stands in for a Roku in the backend, wire and app tests: what they rely on it to do
// without checking it themselves.

#include "../support/FakeRokuDevice.hpp"

#include <gtest/gtest.h>

#include "bridge/RokuXml.hpp"

namespace orvel {
namespace {

using test::FakeRokuDevice;

int fakeStatus(FakeRokuDevice& device, std::string method, std::string target) {
    return device.handle({std::move(method), std::move(target), {}, {}}).status;
}
std::string fakeBody(FakeRokuDevice& device, std::string target) {
    return device.handle({"GET", std::move(target), {}, {}}).body;
}
std::string fakePlayerState(FakeRokuDevice& device) {
    const auto player = readRokuMediaPlayer(fakeBody(device, "/query/media-player"));
    return player ? player->state : "unreadable";
}

TEST(FakeRokuDevice, AnswersQueriesAsADeviceDoes) {
    FakeRokuDevice device({.serialNumber = "X0042",
                           .userDeviceName = "",
                           .friendlyModelName = "Stick & Co",
                           .isTv = false,
                           .apps = {{"dev.app/1 x", "A <App>"}, {"12", "Netflix"}}});
    const auto info = readRokuDeviceInfo(fakeBody(device, "/query/device-info"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->serialNumber + "|" + rokuDisplayName(*info) + "|" + info->powerMode,
              "X0042|Stick & Co|PowerOn");
    EXPECT_FALSE(info->isTv);
    const auto apps = readRokuApps(fakeBody(device, "/query/apps"));
    ASSERT_TRUE(apps && apps->size() == 2u);
    EXPECT_EQ((*apps)[0].id + "|" + (*apps)[0].name, "dev.app/1 x|A <App>");
    EXPECT_EQ(readRokuActiveApp(fakeBody(device, "/query/active-app"))
                  .value_or(RokuActiveApp{"unread", ""})
                  .id,
              "");
    EXPECT_EQ(fakePlayerState(device), "close");

    const auto icon = device.handle({"GET", "/query/icon/12", {}, {}});
    EXPECT_EQ(icon.status, 200);
    EXPECT_EQ(icon.contentType, "image/png");
    EXPECT_TRUE(icon.body.starts_with("\x89PNG"));
    for (const auto& [method, target] : {std::pair{"GET", "/query/icon/99"},
                                         {"GET", "/query/nothing"},
                                         {"POST", "/dance/Up"},
                                         {"POST", "/launch/99"}}) {
        EXPECT_EQ(fakeStatus(device, method, target), 404) << target;
    }
}

TEST(FakeRokuDevice, KeysAndLaunchesChangeItsState) {
    FakeRokuDevice device;
    EXPECT_EQ(fakeStatus(device, "POST", "/launch/12"), 200);
    const auto active = readRokuActiveApp(fakeBody(device, "/query/active-app"));
    ASSERT_TRUE(active);
    EXPECT_EQ(active->id + "|" + active->name, "12|Netflix");
    EXPECT_EQ(fakePlayerState(device), "close");

    // Play starts the app's player, then toggles it; nothing plays on the home screen.
    for (const char* state : {"play", "pause", "play"}) {
        EXPECT_EQ(fakeStatus(device, "POST", "/keypress/Play"), 200);
        EXPECT_EQ(fakePlayerState(device), state);
    }
    const auto player = readRokuMediaPlayer(fakeBody(device, "/query/media-player"));
    ASSERT_TRUE(player && player->position && player->duration);
    EXPECT_GT(*player->duration, 0.0);
    fakeStatus(device, "POST", "/keypress/Home");
    fakeStatus(device, "POST", "/keypress/Play");
    EXPECT_EQ(device.activeAppID(), "");
    EXPECT_EQ(fakePlayerState(device), "close");

    fakeStatus(device, "POST", "/keypress/PowerOff");
    EXPECT_EQ(readRokuDeviceInfo(fakeBody(device, "/query/device-info"))->powerMode, "DisplayOff");
    fakeStatus(device, "POST", "/keypress/PowerOn");
    EXPECT_EQ(device.powerMode(), "PowerOn");

    fakeStatus(device, "POST", "/keydown/Lit_%C3%A9");  // not a keypress
    EXPECT_EQ(device.keypresses(),
              (std::vector<std::string>{"/keypress/Play", "/keypress/Play", "/keypress/Play",
                                        "/keypress/Home", "/keypress/Play", "/keypress/PowerOff",
                                        "/keypress/PowerOn"}));
    EXPECT_EQ(device.requests().size(), 17u);
    device.clearRequests();
    EXPECT_TRUE(device.requests().empty());

    // The setters leave each other alone.
    device.setActiveApp("837");
    device.setPlayer("pause", 61000, 120000);
    device.setActiveApp("837");
    const auto set = readRokuMediaPlayer(fakeBody(device, "/query/media-player"));
    ASSERT_TRUE(set);
    EXPECT_EQ(set->state, "pause");
    EXPECT_EQ(set->position, 61.0);
    EXPECT_EQ(set->duration, 120.0);
}

TEST(FakeRokuDevice, LimitedModeRefusesKeysLaunchesAndIcons) {
    FakeRokuDevice device;
    device.setLimited(true);
    for (const auto& [method, target] : {std::pair{"POST", "/keypress/Home"},
                                         {"POST", "/keydown/Up"},
                                         {"POST", "/keyup/Up"},
                                         {"POST", "/launch/12"},
                                         {"GET", "/query/icon/12"}}) {
        const auto response = device.handle({method, target, {}, {}});
        EXPECT_EQ(response.status, 403) << target;
        EXPECT_EQ(response.body, "ECP command not allowed in Limited mode.") << target;
    }
    EXPECT_EQ(device.activeAppID(), "");
    for (const char* query :
         {"/query/device-info", "/query/apps", "/query/active-app", "/query/media-player"}) {
        EXPECT_EQ(fakeStatus(device, "GET", query), 200) << query;
    }
    device.setLimited(false);
    EXPECT_EQ(fakeStatus(device, "POST", "/launch/12"), 200);
}

}  // namespace
}  // namespace orvel

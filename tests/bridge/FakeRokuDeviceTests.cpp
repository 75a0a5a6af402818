#include "../support/FakeRokuDevice.hpp"

#include <gtest/gtest.h>

#include "bridge/RokuXml.hpp"

namespace orvel {
namespace {

using test::FakeHttpResponse;
using test::FakeRokuDevice;

FakeHttpResponse fakeGet(FakeRokuDevice& device, std::string target) {
    return device.handle({"GET", std::move(target), {}, {}});
}

FakeHttpResponse fakePost(FakeRokuDevice& device, std::string target) {
    return device.handle({"POST", std::move(target), {}, {}});
}

std::string fakePlayerState(FakeRokuDevice& device) {
    const auto player = readRokuMediaPlayer(fakeGet(device, "/query/media-player").body);
    return player ? player->state : "unreadable";
}

TEST(FakeRokuDevice, AnswersQueriesAsADeviceDoes) {
    FakeRokuDevice device({.serialNumber = "X0042",
                           .userDeviceName = "",
                           .friendlyModelName = "Stick & Co",
                           .isTv = false,
                           .apps = {{"dev.app/1 x", "A <App>"}, {"12", "Netflix"}}});
    const auto info = readRokuDeviceInfo(fakeGet(device, "/query/device-info").body);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->serialNumber, "X0042");
    EXPECT_EQ(info->userDeviceName, "");
    EXPECT_EQ(rokuDisplayName(*info), "Stick & Co");
    EXPECT_FALSE(info->isTv);
    EXPECT_EQ(info->powerMode, "PowerOn");

    const auto apps = readRokuApps(fakeGet(device, "/query/apps").body);
    ASSERT_TRUE(apps);
    ASSERT_EQ(apps->size(), 2u);
    EXPECT_EQ((*apps)[0].id, "dev.app/1 x");
    EXPECT_EQ((*apps)[0].name, "A <App>");

    const auto home = readRokuActiveApp(fakeGet(device, "/query/active-app").body);
    ASSERT_TRUE(home);
    EXPECT_EQ(home->id, "");
    EXPECT_EQ(fakePlayerState(device), "close");

    const auto icon = fakeGet(device, "/query/icon/12");
    EXPECT_EQ(icon.status, 200);
    EXPECT_EQ(icon.contentType, "image/png");
    EXPECT_TRUE(icon.body.starts_with("\x89PNG"));
    EXPECT_EQ(fakeGet(device, "/query/icon/99").status, 404);
    EXPECT_EQ(fakeGet(device, "/query/nothing").status, 404);
    EXPECT_EQ(fakePost(device, "/dance/Up").status, 404);
    EXPECT_EQ(fakePost(device, "/launch/99").status, 404);
}

TEST(FakeRokuDevice, KeysAndLaunchesChangeItsState) {
    FakeRokuDevice device;
    EXPECT_EQ(fakePost(device, "/launch/tvinput.hdmi1").status, 200);
    EXPECT_EQ(device.activeAppID(), "tvinput.hdmi1");
    EXPECT_EQ(fakePost(device, "/launch/12").status, 200);
    const auto active = readRokuActiveApp(fakeGet(device, "/query/active-app").body);
    ASSERT_TRUE(active);
    EXPECT_EQ(active->id, "12");
    EXPECT_EQ(active->name, "Netflix");
    EXPECT_EQ(fakePlayerState(device), "close");

    // Play starts the app's player, then toggles it.
    const std::vector<std::string> states = {"play", "pause", "play"};
    for (const auto& state : states) {
        EXPECT_EQ(fakePost(device, "/keypress/Play").status, 200);
        EXPECT_EQ(fakePlayerState(device), state);
    }
    const auto player = readRokuMediaPlayer(fakeGet(device, "/query/media-player").body);
    ASSERT_TRUE(player && player->position && player->duration);
    EXPECT_GT(*player->duration, 0.0);

    fakePost(device, "/keypress/Home");
    EXPECT_EQ(device.activeAppID(), "");
    EXPECT_EQ(fakePlayerState(device), "close");
    fakePost(device, "/keypress/Play");  // nothing to play on the home screen
    EXPECT_EQ(fakePlayerState(device), "close");

    fakePost(device, "/keypress/PowerOff");
    EXPECT_EQ(readRokuDeviceInfo(fakeGet(device, "/query/device-info").body)->powerMode,
              "DisplayOff");
    fakePost(device, "/keypress/PowerOn");
    EXPECT_EQ(device.powerMode(), "PowerOn");

    fakePost(device, "/keydown/Lit_%C3%A9");
    fakePost(device, "/keypress/Lit_%C3%A9");
    EXPECT_EQ(device.keypresses(),
              (std::vector<std::string>{"/keypress/Play", "/keypress/Play", "/keypress/Play",
                                        "/keypress/Home", "/keypress/Play", "/keypress/PowerOff",
                                        "/keypress/PowerOn", "/keypress/Lit_%C3%A9"}));
    EXPECT_EQ(device.requests().size(), 20u);
    device.clearRequests();
    EXPECT_TRUE(device.requests().empty());
}

TEST(FakeRokuDevice, LimitedModeRefusesKeysLaunchesAndIcons) {
    FakeRokuDevice device;
    device.setLimited(true);
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"POST", "/keypress/Home"}, {"POST", "/keydown/Up"},   {"POST", "/keyup/Up"},
        {"POST", "/launch/12"},     {"GET", "/query/icon/12"},
    };
    for (const auto& [method, target] : refused) {
        const auto response = device.handle({method, target, {}, {}});
        EXPECT_EQ(response.status, 403) << target;
        EXPECT_EQ(response.body, "ECP command not allowed in Limited mode.") << target;
    }
    EXPECT_EQ(device.activeAppID(), "");
    for (const char* query :
         {"/query/device-info", "/query/apps", "/query/active-app", "/query/media-player"}) {
        EXPECT_EQ(fakeGet(device, query).status, 200) << query;
    }
    device.setLimited(false);
    EXPECT_EQ(fakePost(device, "/launch/12").status, 200);
}

TEST(FakeRokuDevice, SettersLeaveEachOtherAlone) {
    FakeRokuDevice device;
    device.setActiveApp("837");
    device.setPlayer("pause", 61000, 120000);
    device.setActiveApp("837");
    const auto player = readRokuMediaPlayer(fakeGet(device, "/query/media-player").body);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->state, "pause");
    EXPECT_EQ(player->position, 61.0);
    EXPECT_EQ(player->duration, 120.0);
    device.setPowerMode("Ready");
    EXPECT_EQ(readRokuDeviceInfo(fakeGet(device, "/query/device-info").body)->powerMode, "Ready");
}

}  // namespace
}  // namespace orvel

#include "bridge/RokuXml.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvel {
namespace {

std::string rokuFixture(const std::string& name) {
    const auto path = std::filesystem::path(__FILE__).parent_path() / "fixtures" / "roku" / name;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(in.good() || in.eof()) << path;
    EXPECT_FALSE(text.str().empty()) << path;
    return text.str();
}

TEST(RokuXml, DeviceInfoOfATvAndOfAStick) {
    const auto tv = readRokuDeviceInfo(rokuFixture("device-info-tv.xml"));
    ASSERT_TRUE(tv);
    EXPECT_EQ(tv->serialNumber, "X01900ABCDEF");
    EXPECT_EQ(tv->userDeviceName, "Living Room TV");
    EXPECT_EQ(tv->friendlyModelName, "Veltra•Roku TV");
    EXPECT_TRUE(tv->isTv);
    EXPECT_EQ(tv->powerMode, "PowerOn");
    EXPECT_EQ(rokuDisplayName(*tv), "Living Room TV");

    const auto stick = readRokuDeviceInfo(rokuFixture("device-info-stick.xml"));
    ASSERT_TRUE(stick);
    EXPECT_EQ(stick->serialNumber, "YH00AB123456");
    EXPECT_EQ(stick->userDeviceName, "");
    EXPECT_FALSE(stick->isTv);
    EXPECT_EQ(stick->powerMode, "Ready");
    EXPECT_EQ(rokuDisplayName(*stick), "Roku Streaming Stick 4K");
}

TEST(RokuXml, DisplayNameFallsBackPastBlankNames) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"Den", "Model", "Den"},
        {" \t\n", "  Model X ", "Model X"},
        {"", "", "Roku"},
        {"  ", "\r\n", "Roku"},
    };
    for (const auto& [user, model, expected] : cases) {
        RokuDeviceInfo info;
        info.userDeviceName = user;
        info.friendlyModelName = model;
        EXPECT_EQ(rokuDisplayName(info), expected) << user << "|" << model;
    }
}

TEST(RokuXml, OnlyPowerOnIsOn) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"PowerOn", false}, {"Ready", true},   {"DisplayOff", true},
        {"Headless", true}, {"Suspend", true}, {"", false},
    };
    for (const auto& [mode, off] : cases) {
        const auto info = readRokuDeviceInfo("<device-info><power-mode> " + mode +
                                             " </power-mode></device-info>");
        ASSERT_TRUE(info) << mode;
        EXPECT_EQ(info->poweredOff(), off) << mode;
    }
}

TEST(RokuXml, EveryReaderRefusesWhatIsNotItsDocument) {
    const std::vector<std::string> notDocuments = {
        "",
        "garbage",
        "<device-info><serial-number>X</device-info>",  // unclosed element
        "\xff\xfe<",
        "<?xml version=\"1.0\"?>",
        "<html><body>404 Not Found</body></html>",
        "ECP command not allowed in Limited mode.",
    };
    for (const auto& text : notDocuments) {
        EXPECT_FALSE(readRokuDeviceInfo(text)) << text;
        EXPECT_FALSE(readRokuApps(text)) << text;
        EXPECT_FALSE(readRokuActiveApp(text)) << text;
        EXPECT_FALSE(readRokuMediaPlayer(text)) << text;
    }
    // Each reader takes its own root only.
    const auto apps = rokuFixture("apps.xml");
    EXPECT_FALSE(readRokuDeviceInfo(apps));
    EXPECT_FALSE(readRokuActiveApp(apps));
    EXPECT_FALSE(readRokuMediaPlayer(apps));
    EXPECT_FALSE(readRokuApps(rokuFixture("device-info-tv.xml")));
}

TEST(RokuXml, MissingElementsReadAsEmpty) {
    const auto info = readRokuDeviceInfo("<device-info/>");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->serialNumber, "");
    EXPECT_FALSE(info->isTv);
    EXPECT_EQ(info->powerMode, "");
    EXPECT_EQ(rokuDisplayName(*info), "Roku");

    const auto apps = readRokuApps("<apps></apps>");
    ASSERT_TRUE(apps);
    EXPECT_TRUE(apps->empty());

    const auto active = readRokuActiveApp("<active-app/>");
    ASSERT_TRUE(active);
    EXPECT_EQ(active->id, "");

    const auto player = readRokuMediaPlayer("<player/>");
    ASSERT_TRUE(player);
    EXPECT_EQ(player->state, "");
    EXPECT_FALSE(player->position);
    EXPECT_FALSE(player->playing());
}

TEST(RokuXml, AppsInOrderWithInputsAndDottedIds) {
    const auto apps = readRokuApps(rokuFixture("apps.xml"));
    ASSERT_TRUE(apps);
    ASSERT_EQ(apps->size(), 9u);
    EXPECT_EQ((*apps)[0].id, "tvinput.hdmi1");
    EXPECT_EQ((*apps)[0].name, "HDMI 1");
    EXPECT_EQ((*apps)[0].type, "tvin");
    EXPECT_EQ((*apps)[3].id, "12");
    EXPECT_EQ((*apps)[3].type, "appl");
    EXPECT_EQ((*apps)[6].id, "com.example.news");
    EXPECT_EQ((*apps)[6].name, "News & Weather");
    EXPECT_EQ((*apps)[8].type, "menu");
}

TEST(RokuXml, AppsWithoutIdOrNameAreSkippedAndNamesTrimmed) {
    const auto apps = readRokuApps(
        "<apps><app type=\"appl\">No id</app><app id=\"1\">  </app>"
        "<app id=\" 2 \" type=\"appl\">\n\t Two \n</app><other id=\"3\">X</other></apps>");
    ASSERT_TRUE(apps);
    ASSERT_EQ(apps->size(), 1u);
    EXPECT_EQ((*apps)[0].id, "2");
    EXPECT_EQ((*apps)[0].name, "Two");
}

TEST(RokuXml, ActiveAppOnTheHomeScreenAndInAnApp) {
    const auto home = readRokuActiveApp(rokuFixture("active-app-home.xml"));
    ASSERT_TRUE(home);
    EXPECT_EQ(home->id, "");
    EXPECT_EQ(home->name, "");

    const auto netflix = readRokuActiveApp(rokuFixture("active-app-netflix.xml"));
    ASSERT_TRUE(netflix);
    EXPECT_EQ(netflix->id, "12");
    EXPECT_EQ(netflix->name, "Netflix");
}

TEST(RokuXml, MediaPlayerStatesAndTimes) {
    const auto playing = readRokuMediaPlayer(rokuFixture("media-player-play.xml"));
    ASSERT_TRUE(playing);
    EXPECT_EQ(playing->state, "play");
    EXPECT_TRUE(playing->playing());
    ASSERT_TRUE(playing->position && playing->duration);
    EXPECT_DOUBLE_EQ(*playing->position, 754.123);
    EXPECT_DOUBLE_EQ(*playing->duration, 2712.0);

    const auto paused = readRokuMediaPlayer(rokuFixture("media-player-pause.xml"));
    ASSERT_TRUE(paused);
    EXPECT_FALSE(paused->playing());
    ASSERT_TRUE(paused->position);
    EXPECT_DOUBLE_EQ(*paused->position, 12.345);

    const auto closed = readRokuMediaPlayer(rokuFixture("media-player-close.xml"));
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->state, "close");
    EXPECT_FALSE(closed->playing());
    EXPECT_FALSE(closed->position);
    EXPECT_FALSE(closed->duration);
}

TEST(RokuXml, TimesReadOnlyFromMillisecondTexts) {
    const std::vector<std::pair<std::string, std::optional<double>>> cases = {
        {"12345 ms", 12.345},
        {" 0 ms ", 0.0},
        {"500ms", 0.5},
        {"7000", 7.0},
        {"", std::nullopt},
        {"ms", std::nullopt},
        {"-5 ms", std::nullopt},
        {"12.5 ms", std::nullopt},
        {"12345 s", std::nullopt},
        {"abc ms", std::nullopt},
        {"99999999999999999999999 ms", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        const auto player = readRokuMediaPlayer("<player state=\"buffer\"><position>" + text +
                                                "</position></player>");
        ASSERT_TRUE(player) << text;
        EXPECT_TRUE(player->playing());
        EXPECT_EQ(player->position, expected) << text;
    }
}

TEST(RokuXml, EntitiesAreNotExpandedFromADoctype) {
    const auto info = readRokuDeviceInfo(
        "<?xml version=\"1.0\"?><!DOCTYPE device-info [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
        "<device-info><user-device-name>&b;</user-device-name>"
        "<serial-number>A&amp;B&#x41;</serial-number></device-info>");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->userDeviceName.find("aaaa"), std::string::npos);
    EXPECT_EQ(info->serialNumber, "A&BA");
}

}  // namespace
}  // namespace orvel

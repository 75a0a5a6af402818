#include "bridge/roku/RokuXml.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvel {
namespace {

std::string rokuFixture(const std::string& name) {
    const auto path = std::filesystem::path(__FILE__).parent_path() / "fixtures" / name;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << path;
    return text.str();
}

std::string show(const std::optional<RokuDeviceInfo>& info) {
    if (!info) return "none";
    return info->serialNumber + "|" + info->userDeviceName + "|" + info->friendlyModelName + "|" +
           (info->isTv ? "tv" : "not tv") + "|" + info->powerMode + "|" + rokuDisplayName(*info) +
           "|" + info->wifiMac + "|" + info->ethernetMac;
}
std::string show(const std::optional<RokuMediaPlayer>& player) {
    if (!player) return "none";
    auto time = [](std::optional<double> t) { return t ? std::to_string(*t) : "-"; };
    return player->state + (player->playing() ? " playing " : " stopped ") +
           time(player->position) + " " + time(player->duration);
}
std::string show(const std::optional<RokuActiveApp>& app) {
    return app ? app->id + "|" + app->name : "none";
}
std::string show(const std::optional<std::vector<RokuApp>>& apps) {
    if (!apps) return "none";
    std::string all;
    for (const auto& app : *apps) all += app.id + "=" + app.name + "(" + app.type + ") ";
    return all;
}

TEST(RokuXml, RecordedAnswersReadWhole) {
    EXPECT_EQ(show(readRokuDeviceInfo(rokuFixture("device-info-tv.xml"))),
              "X01900ABCDEF|Living Room TV|Veltra•Roku TV|tv|PowerOn|Living Room TV|"
              "d4:e2:2f:5a:1c:9b|d4:e2:2f:5a:1c:9c");
    EXPECT_EQ(show(readRokuDeviceInfo(rokuFixture("device-info-stick.xml"))),
              "YH00AB123456||Roku Streaming Stick 4K|not tv|Ready|Roku Streaming Stick 4K|"
              "b0:a7:37:12:ef:40|");
    EXPECT_EQ(
        show(readRokuApps(rokuFixture("apps.xml"))),
        "tvinput.hdmi1=HDMI 1(tvin) tvinput.hdmi2=Game Console(tvin) tvinput.dtv=Live TV(tvin) "
        "12=Netflix(appl) 837=YouTube(appl) 2285=Hulu(appl) "
        "com.example.news=News & Weather(appl) 151908=The Roku Channel(appl) "
        "551012=Screensaver(menu) ");
    EXPECT_EQ(show(readRokuActiveApp(rokuFixture("active-app-home.xml"))), "|");
    EXPECT_EQ(show(readRokuActiveApp(rokuFixture("active-app-netflix.xml"))), "12|Netflix");
    EXPECT_EQ(show(readRokuMediaPlayer(rokuFixture("media-player-play.xml"))),
              "play playing 754.123000 2712.000000");
    EXPECT_EQ(show(readRokuMediaPlayer(rokuFixture("media-player-pause.xml"))),
              "pause stopped 12.345000 2712.000000");
    EXPECT_EQ(show(readRokuMediaPlayer(rokuFixture("media-player-close.xml"))),
              "close stopped - -");
}

TEST(RokuXml, EveryReaderRefusesWhatIsNotItsDocument) {
    for (const std::string text :
         {"", "garbage",
          "<device-info><serial-number>X</device-info>",  // unclosed
          "\xff\xfe<", "<?xml version=\"1.0\"?>", "<html><body>404 Not Found</body></html>",
          "ECP command not allowed in Limited mode."}) {
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

TEST(RokuXml, MissingOrBlankPartsReadAsEmptyOrAreSkipped) {
    EXPECT_EQ(show(readRokuDeviceInfo("<device-info/>")), "|||not tv||Roku||");
    EXPECT_EQ(show(readRokuApps("<apps></apps>")), "");
    EXPECT_EQ(show(readRokuActiveApp("<active-app/>")), "|");
    EXPECT_EQ(show(readRokuMediaPlayer("<player/>")), " stopped - -");
    // Apps without an id or a name are skipped; names and ids are trimmed.
    EXPECT_EQ(show(readRokuApps("<apps><app type=\"appl\">No id</app><app id=\"1\">  </app>"
                                "<app id=\" 2 \" type=\"appl\">\n\t Two \n</app>"
                                "<other id=\"3\">X</other></apps>")),
              "2=Two(appl) ");

    for (const auto& [user, model, expected] : {std::tuple{"Den", "Model", "Den"},
                                                {" \t\n", "  Model X ", "Model X"},
                                                {"", "", "Roku"},
                                                {"  ", "\r\n", "Roku"}}) {
        EXPECT_EQ(rokuDisplayName({"", user, model, false, "", "", ""}), expected)
            << user << "|" << model;
    }
    const auto poweredOff = [](const std::string& mode) {
        return readRokuDeviceInfo("<device-info><power-mode> " + mode +
                                  " </power-mode></device-info>")
            .value_or(RokuDeviceInfo{"", "", "", false, "unread", "", ""})
            .poweredOff();
    };
    for (const char* mode : {"Ready", "DisplayOff", "Headless", "Suspend"}) {
        EXPECT_TRUE(poweredOff(mode)) << mode;
    }
    EXPECT_FALSE(poweredOff("PowerOn") || poweredOff(""));
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

#pragma once
// RokuXml: readers for the XML answers of a Roku's query endpoints. Each returns nothing when
// the text is not the document it should be (not XML, wrong root element); missing elements
// read as empty or absent, never as an error. Pure; any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvel {

// GET /query/device-info (root <device-info>).
struct RokuDeviceInfo {
    std::string serialNumber;       // <serial-number>
    std::string userDeviceName;     // <user-device-name>
    std::string friendlyModelName;  // <friendly-model-name>
    bool isTv = false;              // <is-tv>true</is-tv>
    std::string powerMode;          // <power-mode>: "PowerOn", "Ready", "DisplayOff", ...
    // <wifi-mac>, <ethernet-mac> ("12:34:56:ab:cd:ef"): what wakes it from deep standby.
    std::string wifiMac;
    std::string ethernetMac;

    // Every mode but "PowerOn" is a standby. A device that reports no mode has none to be in.
    bool poweredOff() const { return !powerMode.empty() && powerMode != "PowerOn"; }
};
std::optional<RokuDeviceInfo> readRokuDeviceInfo(std::string_view xml);

// The name users see: user-device-name, else friendly-model-name, else "Roku" (trimmed).
std::string rokuDisplayName(const RokuDeviceInfo& info);

// GET /query/apps (root <apps>): every <app id=".." type="..">name</app>, in document order.
// Entries without an id or a name are skipped.
struct RokuApp {
    std::string id;
    std::string name;
    std::string type;  // "appl", "menu", "tvin", ...
};
std::optional<std::vector<RokuApp>> readRokuApps(std::string_view xml);

// GET /query/active-app (root <active-app>). The home screen reads as empty id and name
// (an <app> without an id attribute, whatever its text).
struct RokuActiveApp {
    std::string id;
    std::string name;
};
std::optional<RokuActiveApp> readRokuActiveApp(std::string_view xml);

// GET /query/media-player (root <player state="..">). Times in seconds, read from texts such
// as "12345 ms"; absent when the element is missing or unreadable.
struct RokuMediaPlayer {
    std::string state;  // "play", "pause", "stop", "close", "buffer", "open", "none", ...
    std::optional<double> position;
    std::optional<double> duration;

    bool playing() const { return state == "play" || state == "buffer"; }
};
std::optional<RokuMediaPlayer> readRokuMediaPlayer(std::string_view xml);

}  // namespace orvel

#pragma once
// Household: the simulated TVs the bridge serves and the faults it is scripted to show. The
// built-in household is fixed so that scripts and tests can rely on it; a household file
// (format in README.md beside this header) describes another. Plain values; any thread.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "bridge/protocol/FaultScript.hpp"
#include "core/TVIdentifier.hpp"

namespace orvel {

struct SimItem {
    std::string title;
    std::string artist;
    double duration = 0;  // seconds, > 0
};

struct SimApp {
    std::string id;
    std::string name;
    bool input = false;          // a TV input such as "HDMI 1": no playback, no text field
    std::vector<SimItem> items;  // what the app plays; empty for inputs
};

struct SimTVConfig {
    std::string id;
    std::string name;
    std::vector<std::string> protocols;  // empty: needs no pairing
    std::string pin;                     // the PIN the TV shows while pairing
    std::string address = "127.0.0.1";
    int volume = 30;
    bool poweredOn = true;
    std::vector<SimApp> apps;

    bool isRoku() const { return TVIdentifier::isRoku(id); }
};

struct Household {
    std::vector<SimTVConfig> tvs;
    FaultScript faults;

    // Living Room (AirPlay + Companion, PIN 1234), Kitchen (Companion, 4321), Bedroom TV (Roku).
    static Household builtIn();
    // The apps a TV has unless its household entry lists others.
    static std::vector<SimApp> defaultApps(bool roku);
    // On failure: one sentence saying what is wrong and where.
    static std::variant<Household, std::string> parse(std::string_view text);
    static std::variant<Household, std::string> load(const std::string& path);
};

}  // namespace orvel

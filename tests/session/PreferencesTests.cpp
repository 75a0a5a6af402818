#include <gtest/gtest.h>

#include "SessionHarness.hpp"
#include "session/AppStore.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

const char* const kPreferenceKeys[] = {"mediaKeys",        "commandVolume", "followPlaying",
                                       "showsMenuBarIcon", "shortcutCode",  "shortcutModifiers",
                                       "shortcutLabel"};

// What a run reads from each stored file, as {mediaKeys, shortcutCode, shortcutLabel, number of
// saved TVs, selected TV}; the other switches are on whatever is stored.
TEST(Preferences, StoredValuesAndWhatFallsBack) {
    const json fallback = {true, 35, "Ctrl+Alt+Super+P", 0, ""};
    const std::pair<json, json> cases[] = {
        {json::object(), fallback},
        {{{"mediaKeys", false},
          {"shortcutCode", 49},
          {"shortcutModifiers", 0x0100},
          {"shortcutLabel", "Super+Space"},
          {"pairedDevices", savedList({kLiving, kBedroom})},
          {"lastDevice", kBedroom.id}},
         {false, 49, "Super+Space", 2, kBedroom.id}},
        {{{"shortcutCode", 49}, {"shortcutLabel", 7}}, {true, 49, "Ctrl+Alt+Super+P", 0, ""}},
        {{{"shortcutCode", 4294967296}, {"shortcutLabel", "Ctrl+Q"}}, fallback},
        {{{"shortcutModifiers", -1}, {"shortcutLabel", "Ctrl+Q"}}, fallback},
        {{{"pairedDevices", json::parse(R"([{"id":"a","name":"A","protocols":[]},
                                            {"id":"b","name":"B"}])")}},
         fallback},
    };
    for (const auto& [stored, expected] : cases) {
        SCOPED_TRACE(stored.dump());
        SessionHarness h(stored);
        h.make();
        const auto& s = h.state();
        EXPECT_EQ(json({s.mediaKeys, s.shortcutCode, s.shortcutLabel, s.savedDevices.size(),
                        s.selectedID}),
                  expected);
        EXPECT_TRUE(s.commandVolume && s.followPlaying && s.showsMenuBarIcon);
    }
}

TEST(Preferences, EachChangeWritesAllSevenKeysAndTellsTheShellOnce) {
    SessionHarness h;
    h.make();
    int told = 0;
    h.store->setOnPreferencesChange([&] { ++told; });
    h.store->setMediaKeys(false);
    for (const char* key : kPreferenceKeys) EXPECT_TRUE(h.storedDefaults().contains(key)) << key;
    h.store->setShortcut(0xFFFFFFFF, 0x1000, "Ctrl+Q");
    EXPECT_EQ(told, 2);
    const auto stored = h.storedDefaults();
    EXPECT_EQ(json({stored["mediaKeys"], stored["shortcutCode"], stored["shortcutLabel"]}),
              json({false, 4294967295u, "Ctrl+Q"}));
}

TEST(Preferences, OpeningAtLoginFollowsTheLoginService) {
    SessionHarness h;
    h.login.status = true;
    h.make();
    EXPECT_TRUE(h.state().launchAtLogin);

    h.login.needsApproval = true;  // accepted, but not enabled
    h.store->setLogin(true);
    EXPECT_FALSE(h.state().launchAtLogin);
    EXPECT_EQ(h.state().error, "");

    h.login.refusal = "The autostart entry could not be written.";
    h.store->setLogin(false);
    EXPECT_EQ(h.state().error, "The autostart entry could not be written.");
}

}  // namespace
}  // namespace orvel::test

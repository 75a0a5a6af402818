#include <gtest/gtest.h>

#include "SessionHarness.hpp"
#include "session/AppStore.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

const char* const kPreferenceKeys[] = {"mediaKeys",         "commandVolume",        "followPlaying",
                                       "showsMenuBarIcon",  "showsInMediaControls", "shortcutCode",
                                       "shortcutModifiers", "shortcutLabel"};

// What a run reads from each stored file, as {mediaKeys, shortcutCode, shortcutLabel, number of
// saved TVs, selected TV, showsInMediaControls}; the other switches are on whatever is stored.
TEST(Preferences, StoredValuesAndWhatFallsBack) {
    const json fallback = {true, 35, "Ctrl+Alt+Super+P", 0, "", true};
    const std::pair<json, json> cases[] = {
        {json::object(), fallback},
        {{{"mediaKeys", false},
          {"shortcutCode", 49},
          {"shortcutModifiers", 0x0100},
          {"shortcutLabel", "Super+Space"},
          {"pairedDevices", savedList({kLiving, kBedroom})},
          {"lastDevice", kBedroom.id}},
         {false, 49, "Super+Space", 2, kBedroom.id, true}},
        {{{"showsInMediaControls", false}}, {true, 35, "Ctrl+Alt+Super+P", 0, "", false}},
        {{{"showsInMediaControls", "no"}}, fallback},
        {{{"shortcutCode", 49}, {"shortcutLabel", 7}}, {true, 49, "Ctrl+Alt+Super+P", 0, "", true}},
        {{{"shortcutCode", 4294967296}, {"shortcutLabel", "Ctrl+Q"}}, fallback},
        {{{"shortcutModifiers", -1}, {"shortcutLabel", "Ctrl+Q"}}, fallback},
    };
    for (const auto& [stored, expected] : cases) {
        SCOPED_TRACE(stored.dump());
        SessionHarness h(stored);
        h.make();
        const auto& s = h.state();
        EXPECT_EQ(json({s.mediaKeys, s.shortcutCode, s.shortcutLabel, s.savedDevices.size(),
                        s.selectedID, s.showsInMediaControls}),
                  expected);
        EXPECT_TRUE(s.commandVolume && s.followPlaying && s.showsMenuBarIcon);
    }
}

TEST(Preferences, EachChangeWritesAllEightKeysAndTellsTheShellOnce) {
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

// What each settings file is said to be, at start.
TEST(Preferences, EachProblemOfTheSettingsFileIsSaidOnce) {
    const std::pair<std::string, std::string> cases[] = {
        {"{}", ""},
        {"garbage", " could not be understood, so it was moved to "},
        {R"({"pairedDevices": [{"id": "b", "name": "B"}, {"id": "a", "name": "A",
             "protocols": []}, 7]})",
         " 2 paired TVs could not be read; they are left out and kept in the file as they were."},
        {R"({"pairedDevices": {"id": "a"}})", " could not be read, so the list starts empty "},
    };
    for (const auto& [text, said] : cases) {
        SCOPED_TRACE(text);
        SessionHarness h;
        ScratchDir::write(h.defaultsPath, text);
        h.make();
        const auto& problems = h.state().storageProblems;
        ASSERT_EQ(problems.size(), said.empty() ? 0u : 1u);
        if (!said.empty()) {
            EXPECT_NE(problems[0].find(said), std::string::npos) << problems[0];
        }
    }
}

TEST(Preferences, PairedTVsThatCannotBeReadAreKeptWhenTheListIsSaved) {
    const json unreadable = json::parse(R"([{"id": "b", "name": "B"}, 7])");
    auto list = savedList({kBedroom, kKitchen});
    list.insert(list.begin() + 1, unreadable.begin(), unreadable.end());
    SessionHarness h(json{{"pairedDevices", list}});
    h.make();
    EXPECT_EQ(h.state().savedDevices, (std::vector<TVDevice>{kBedroom, kKitchen}));
    h.store->forget(kBedroom);
    h.idle();
    auto kept = savedList({kKitchen});
    kept.insert(kept.end(), unreadable.begin(), unreadable.end());
    EXPECT_EQ(h.storedDefaults()["pairedDevices"], kept);
}

TEST(Preferences, AFailedSaveIsSaidUntilASaveWorks) {
    SessionHarness h;
    ScratchDir::write(h.dir / "config", "a file where the folder belongs");
    h.make();
    int told = 0;
    auto watch = h.store->observe([&] { ++told; });
    h.store->setMediaKeys(false);
    h.store->setCommandVolume(false);  // the same failure again
    h.idle();
    ASSERT_EQ(h.state().storageProblems.size(), 1u);
    EXPECT_EQ(h.state().storageProblems[0], h.defaults->lastWriteError());
    EXPECT_EQ(told, 1);

    std::filesystem::remove(h.dir / "config");
    h.store->setMediaKeys(true);
    h.idle();
    EXPECT_TRUE(h.state().storageProblems.empty());
    EXPECT_EQ(h.storedDefaults()["mediaKeys"], true);
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

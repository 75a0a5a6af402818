// The "Open App…" menu's entries: loading, a failure's sentence, or the apps with the one in
// front checked.

#include "shell/AppMenu.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using Entry = AppMenu::Entry;
using Apps = std::optional<std::vector<NamedEntry>>;

const std::vector<NamedEntry> kApps{{"12", "Stream"}, {"837", "Tube"}, {"tvinput.hdmi1", "HDMI 1"}};

TEST(AppMenu, EntriesFollowWhatIsKnownOfTheApps) {
    struct Case {
        const char* name;
        Apps apps;
        bool loading;
        const char* error;
        const char* current;
        std::vector<Entry> entries;
    };
    const Entry loading{AppMenu::kLoading, "", false, false};
    const std::vector<Entry> listed{{"Stream", "12", true, false},
                                    {"Tube", "837", true, true},
                                    {"HDMI 1", "tvinput.hdmi1", true, false}};
    std::vector<Entry> unchecked = listed;
    unchecked[1].checked = false;
    const char* helperGone = "Orvel's helper isn't running.";
    const std::vector<Entry> saysHelperGone{{helperGone, "", false, false}};
    const std::vector<Entry> saysNoApps{{AppMenu::kNoApps, "", false, false}};
    for (const Case& c : std::initializer_list<Case>{
             {"first load", std::nullopt, true, "", "", {loading}},
             {"failed", std::nullopt, false, helperGone, "", saysHelperGone},
             {"in the TV's order, front app checked", kApps, false, "", "837", listed},
             {"refreshing shows the known list", kApps, true, "", "837", listed},
             {"a failed refresh keeps the list", kApps, false, "The TV did not answer.", "837",
              listed},
             {"no app in front", kApps, false, "", "", unchecked},
             {"an empty list", std::vector<NamedEntry>{}, false, "", "", saysNoApps},
         }) {
        EXPECT_EQ(AppMenu::entries(c.apps, c.loading, c.error, c.current), c.entries) << c.name;
    }
}

}  // namespace
}  // namespace orvel

// Where the app keeps its files, and its entry in the desktop's autostart folder.
#include "platform/LoginItem.hpp"

#include <gtest/gtest.h>

#include "../support/ScratchDir.hpp"
#include "platform/AppPaths.hpp"
#include "platform/DesktopEntry.hpp"

namespace orvel {
namespace {

using test::ScratchDir;

struct PathCase {
    const char* name;
    AppPaths::Environment env;
    std::optional<std::string> config;
    std::optional<std::string> data;
};

TEST(AppPaths, FollowsTheXdgRulesAndNamesTheFilesInside) {
    const PathCase cases[] = {
        {"unset",
         {"/home/u", "", ""},
         "/home/u/.config/Orvel Remote",
         "/home/u/.local/share/Orvel Remote"},
        {"set", {"/home/u", "/c", "/d"}, "/c/Orvel Remote", "/d/Orvel Remote"},
        {"relative is ignored",
         {"/home/u", "rel/c", "./d"},
         "/home/u/.config/Orvel Remote",
         "/home/u/.local/share/Orvel Remote"},
        {"trailing slashes",
         {"/home/u/", "/c//", ""},
         "/c/Orvel Remote",
         "/home/u/.local/share/Orvel Remote"},
        {"root folder", {"/", "", "/"}, "/.config/Orvel Remote", "/Orvel Remote"},
        {"no home", {"", "", "/d"}, std::nullopt, "/d/Orvel Remote"},
        {"relative home", {"home/u", "", ""}, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AppPaths::configFolder(c.env), c.config);
        EXPECT_EQ(AppPaths::dataFolder(c.env), c.data);
    }
    AppPaths::Environment env{"/home/u", "/c", ""};
    EXPECT_EQ(AppPaths::defaultsFile(env), "/c/Orvel Remote/defaults.json");
    EXPECT_EQ(AppPaths::credentialsFile(env), "/home/u/.local/share/Orvel Remote/credentials.json");
    EXPECT_EQ(AppPaths::autostartEntryFile(env), "/c/autostart/orvel-remote.desktop");
    EXPECT_EQ(AppPaths::appIconFolder(env), "/home/u/.cache/Orvel Remote/app-icons");
    env.xdgCacheHome = "/k";
    EXPECT_EQ(AppPaths::appIconFolder(env), "/k/Orvel Remote/app-icons");
    EXPECT_FALSE(AppPaths::processEnvironment().home.empty());
}

TEST(DesktopEntry, QuotesExecArgumentsThatNeedIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/OrvelRemote", "/usr/bin/OrvelRemote"},
        {"/opt/Orvel Remote/OrvelRemote", "\"/opt/Orvel Remote/OrvelRemote\""},
        {"/opt/100%/x", "/opt/100%%/x"},
        {"/a$b", "\"/a\\\\$b\""},
        {"/a\\b", "\"/a\\\\\\\\b\""},
        {"/a\"b`c", "\"/a\\\\\"b\\\\`c\""},
        {"/a\nb", "\"/a\\nb\""},
        {"/it's", "\"/it's\""},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(DesktopEntry::execArgument(path), expected);
}

TEST(DesktopEntry, ReadsWhetherASessionWouldStartTheEntry) {
    const std::pair<const char*, bool> cases[] = {
        {"[Desktop Entry]\nExec=x\n", true},
        {"[Desktop Entry]\nHidden=true\n", false},
        {"[Desktop Entry]\nHidden = true\r\n", false},
        {"[Desktop Entry]\nHidden=false\nX-GNOME-Autostart-enabled=true\n", true},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false", false},
        {"# comment\n[Desktop Entry]\n[Desktop Action x]\nHidden=true\n", true},
        {"Exec=x\n", false},
        {"", false},
    };
    for (const auto& [text, starts] : cases)
        EXPECT_EQ(DesktopEntry::startsAtLogin(text), starts) << text;
}

class LoginItemTest : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string entry = dir / "config/autostart/orvel-remote.desktop";
};

TEST_F(LoginItemTest, WritesRemovesAndRewritesTheEntry) {
    LoginItem item(entry, "/opt/Orvel Remote/OrvelRemote");
    EXPECT_FALSE(item.launchAtLogin());
    EXPECT_EQ(item.setLogin(true), std::nullopt);
    EXPECT_TRUE(item.launchAtLogin());
    EXPECT_NE(ScratchDir::read(entry).find("\nExec=\"/opt/Orvel Remote/OrvelRemote\"\n"),
              std::string::npos);

    EXPECT_EQ(item.setLogin(false), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(item.setLogin(false), std::nullopt);

    // An entry the desktop turned off counts as off, and turning it on rewrites it.
    ScratchDir::write(entry, "[Desktop Entry]\nExec=/opt/Orvel Remote/OrvelRemote\nHidden=true\n");
    EXPECT_FALSE(item.launchAtLogin());
    EXPECT_EQ(item.setLogin(true), std::nullopt);
    EXPECT_TRUE(item.launchAtLogin());
}

TEST_F(LoginItemTest, FailuresAreSentencesAndTheRunningProgramIsFound) {
    ScratchDir::write(dir / "config", "a file where the folder belongs");
    auto error = LoginItem(entry, "/usr/bin/OrvelRemote").setLogin(true);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->rfind("Orvel Remote could not be set to open at login: ", 0), 0u);
    EXPECT_EQ(error->back(), '.');
    EXPECT_TRUE(LoginItem(dir / "x.desktop", "").setLogin(true));

    const std::string running = LoginItem::runningExecutable();
    ASSERT_FALSE(running.empty());
    EXPECT_EQ(running.front(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(running));
}

}  // namespace
}  // namespace orvel

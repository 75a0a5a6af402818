#include "platform/AppPaths.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

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

}  // namespace
}  // namespace orvel

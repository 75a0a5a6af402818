// The tool's link onto the command path, in a scratch home and a scratch "system" folder: which
// folder gets the link, what is replaced and what is never touched, and the command handed over
// when no folder takes it.

#include "shell/CommandLineInstall.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../support/ScratchDir.hpp"

namespace orvel::test {
namespace {

namespace fs = std::filesystem;

// A home, a second candidate and a copy of the app (OrvelRemote with orvel beside it).
struct Layout {
    ScratchDir scratch;
    std::string home = scratch / "home";
    std::string localBin = home + "/.local/bin";
    std::string system = scratch / "system";
    std::string copy = scratch / "app";
    std::string tool = copy + "/orvel";

    Layout() {
        fs::create_directories(home);
        fs::create_directories(system);
        ScratchDir::write(copy + "/OrvelRemote", "app");
        ScratchDir::write(tool, "tool");
    }
    CommandLineInstall::Paths paths() const { return {tool, {{localBin, true}, {system, false}}}; }
    // Another copy of the app elsewhere, or a program of someone else's.
    std::string otherCopy() const {
        ScratchDir::write(scratch / "old/OrvelRemote", "app");
        ScratchDir::write(scratch / "old/orvel", "tool");
        return scratch / "old/orvel";
    }
    std::string foreignTool() const {
        ScratchDir::write(scratch / "elsewhere/orvel", "not ours");
        return scratch / "elsewhere/orvel";
    }
};

std::optional<std::string> linkAt(const std::string& path) {
    std::error_code error;
    auto destination = fs::read_symlink(path, error);
    if (error) return std::nullopt;
    return destination.string();
}

std::string installed(const std::string& link) {
    return "Installed at " + link + ". Open a new terminal window and try orvel tvs.";
}

enum class Where { localBin, system };

struct RunCase {
    const char* name;
    std::function<void(Layout&)> arrange;
    Where expected;
    // What the first folder's "orvel" must still be afterwards, when it was left alone.
    std::function<void(const Layout&)> leftAlone;
};

class CommandLineInstallRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(CommandLineInstallRun, LinksTheToolIntoTheFirstFolderThatTakesIt) {
    Layout layout;
    GetParam().arrange(layout);
    std::vector<std::string> copied;
    const std::string message =
        CommandLineInstall::run(layout.paths(), [&](std::string text) { copied.push_back(text); });

    const std::string folder =
        GetParam().expected == Where::localBin ? layout.localBin : layout.system;
    EXPECT_EQ(message, installed(folder + "/orvel"));
    EXPECT_EQ(linkAt(folder + "/orvel"), layout.tool);
    EXPECT_TRUE(copied.empty());
    if (GetParam().leftAlone) GetParam().leftAlone(layout);
    EXPECT_EQ(CommandLineInstall::installedPath(layout.paths()), folder + "/orvel");
}

INSTANTIATE_TEST_SUITE_P(
    Folders, CommandLineInstallRun,
    ::testing::Values(
        RunCase{"EmptyFolder",
                [](Layout& l) { fs::create_directories(l.localBin); },
                Where::localBin,
                {}},
        RunCase{"MissingLocalBinIsMade", [](Layout&) {}, Where::localBin,
                [](const Layout& l) {
                    struct stat folder {};
                    ASSERT_EQ(::stat(l.localBin.c_str(), &folder), 0);
                    EXPECT_EQ(folder.st_mode & 07777, 0755u);
                    ASSERT_EQ(::stat((l.home + "/.local").c_str(), &folder), 0);
                    EXPECT_EQ(folder.st_mode & 07777, 0755u);
                }},
        RunCase{"OurOldLinkIsReplaced",
                [](Layout& l) {
                    fs::create_directories(l.localBin);
                    fs::create_symlink(l.otherCopy(), l.localBin + "/orvel");
                },
                Where::localBin,
                {}},
        RunCase{"OurDanglingLinkIsReplaced",
                [](Layout& l) {
                    fs::create_directories(l.localBin);
                    fs::create_symlink(l.scratch / "deleted-copy/orvel", l.localBin + "/orvel");
                },
                Where::localBin,
                {}},
        RunCase{"ForeignLinkIsLeftAlone",
                [](Layout& l) {
                    fs::create_directories(l.localBin);
                    fs::create_symlink(l.foreignTool(), l.localBin + "/orvel");
                },
                Where::system,
                [](const Layout& l) {
                    EXPECT_EQ(linkAt(l.localBin + "/orvel"), l.scratch / "elsewhere/orvel");
                }},
        RunCase{"DanglingLinkOfAnotherNameIsLeftAlone",
                [](Layout& l) {
                    fs::create_directories(l.localBin);
                    fs::create_symlink(l.scratch / "gone/orvel-old", l.localBin + "/orvel");
                },
                Where::system,
                [](const Layout& l) {
                    EXPECT_EQ(linkAt(l.localBin + "/orvel"), l.scratch / "gone/orvel-old");
                }},
        RunCase{
            "RegularFileIsLeftAlone",
            [](Layout& l) { ScratchDir::write(l.localBin + "/orvel", "mine"); }, Where::system,
            [](const Layout& l) { EXPECT_EQ(ScratchDir::read(l.localBin + "/orvel"), "mine"); }},
        RunCase{"FolderNamedOrvelIsLeftAlone",
                [](Layout& l) { fs::create_directories(l.localBin + "/orvel"); }, Where::system,
                [](const Layout& l) { EXPECT_TRUE(fs::is_directory(l.localBin + "/orvel")); }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CommandLineInstall, SkipsAFolderItCannotWriteTo) {
    Layout layout;
    fs::create_directories(layout.localBin);
    ::chmod(layout.localBin.c_str(), 0555);
    if (::access(layout.localBin.c_str(), W_OK) == 0) GTEST_SKIP() << "permissions do not bind";
    EXPECT_EQ(CommandLineInstall::run(layout.paths(), {}), installed(layout.system + "/orvel"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(layout.localBin + "/orvel")));
}

TEST(CommandLineInstall, CopiesAQuotedCommandWhenNoFolderTakesTheLink) {
    Layout layout;
    // A home that cannot hold folders and a second candidate that is missing (never made).
    ScratchDir::write(layout.scratch / "not-a-folder", "");
    const std::string tool = layout.scratch / "Bob's copy/orvel";
    const CommandLineInstall::Paths paths{
        tool,
        {{layout.scratch / "not-a-folder/.local/bin", true}, {layout.scratch / "none", false}}};
    std::vector<std::string> copied;
    EXPECT_EQ(CommandLineInstall::run(paths, [&](std::string text) { copied.push_back(text); }),
              "Copied an install command — paste it in a terminal (it asks for your password).");
    EXPECT_EQ(copied, std::vector<std::string>{"sudo mkdir -p /usr/local/bin && sudo ln -sf '" +
                                               layout.scratch.path() +
                                               "/Bob'\\''s copy/orvel' /usr/local/bin/orvel"});
    EXPECT_FALSE(fs::exists(layout.scratch / "none"));
}

struct FoundCase {
    const char* name;
    std::function<void(Layout&)> arrange;
    std::optional<Where> expected;
};

class CommandLineInstallFound : public ::testing::TestWithParam<FoundCase> {};

TEST_P(CommandLineInstallFound, FindsOnlyALinkToThisTool) {
    Layout layout;
    GetParam().arrange(layout);
    std::optional<std::string> expected;
    if (GetParam().expected)
        expected =
            (*GetParam().expected == Where::localBin ? layout.localBin : layout.system) + "/orvel";
    EXPECT_EQ(CommandLineInstall::installedPath(layout.paths()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Links, CommandLineInstallFound,
    ::testing::Values(
        FoundCase{"Nothing", [](Layout&) {}, std::nullopt},
        FoundCase{"InTheSecondFolder",
                  [](Layout& l) { fs::create_symlink(l.tool, l.system + "/orvel"); },
                  Where::system},
        FoundCase{"ForeignFirstOursSecond",
                  [](Layout& l) {
                      fs::create_directories(l.localBin);
                      fs::create_symlink(l.otherCopy(), l.localBin + "/orvel");
                      fs::create_symlink(l.tool, l.system + "/orvel");
                  },
                  Where::system},
        FoundCase{"SameFileSpelledOtherwise",
                  [](Layout& l) { fs::create_symlink(l.copy + "/./orvel", l.system + "/orvel"); },
                  std::nullopt},
        FoundCase{"RegularFile", [](Layout& l) { ScratchDir::write(l.system + "/orvel", "tool"); },
                  std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

struct DefaultsCase {
    const char* name;
    std::string executable;
    std::string home;
    CommandLineInstall::Paths expected;
};

class CommandLineInstallDefaults : public ::testing::TestWithParam<DefaultsCase> {};

TEST_P(CommandLineInstallDefaults, ToolBesideTheAppAndHomeFirst) {
    AppPaths::Environment env;
    env.home = GetParam().home;
    const auto paths = CommandLineInstall::forExecutable(GetParam().executable, env);
    EXPECT_EQ(paths.tool, GetParam().expected.tool);
    ASSERT_EQ(paths.candidates.size(), GetParam().expected.candidates.size());
    for (size_t i = 0; i < paths.candidates.size(); ++i) {
        EXPECT_EQ(paths.candidates[i].folder, GetParam().expected.candidates[i].folder);
        EXPECT_EQ(paths.candidates[i].createWhenMissing,
                  GetParam().expected.candidates[i].createWhenMissing);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Environments, CommandLineInstallDefaults,
    ::testing::Values(
        DefaultsCase{
            "Installed",
            "/opt/orvel/bin/OrvelRemote",
            "/home/ada",
            {"/opt/orvel/bin/orvel", {{"/home/ada/.local/bin", true}, {"/usr/local/bin", false}}}},
        DefaultsCase{
            "HomeWithSlash",
            "/b/src/app/OrvelRemote",
            "/home/ada/",
            {"/b/src/app/orvel", {{"/home/ada/.local/bin", true}, {"/usr/local/bin", false}}}},
        DefaultsCase{
            "RelativeHome", "/b/OrvelRemote", "ada", {"/b/orvel", {{"/usr/local/bin", false}}}},
        DefaultsCase{"UnknownProgram",
                     "",
                     "/home/ada",
                     {"", {{"/home/ada/.local/bin", true}, {"/usr/local/bin", false}}}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace orvel::test

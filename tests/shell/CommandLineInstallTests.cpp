// The tool's link onto the command path, in a scratch home and a scratch "system" folder.

#include "shell/CommandLineInstall.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
    CommandLineInstall::Paths paths() const {
        return {tool, {{localBin, true}, {system, false}}, localBin + ":" + system};
    }
    // An "orvel" in ~/.local/bin linking to `target`.
    void linkFirst(const std::string& target) const {
        fs::create_directories(localBin);
        fs::create_symlink(target, localBin + "/orvel");
    }
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

enum class Where { localBin, system };

TEST(CommandLineInstall, LinksTheToolIntoTheFirstFolderThatTakesIt) {
    const struct {
        const char* name;
        std::function<void(Layout&)> arrange;
        Where expected;
        // What the first folder's "orvel" must still be afterwards, when it was left alone.
        std::function<void(const Layout&)> leftAlone;
    } cases[] = {
        {"missing ~/.local/bin is made", [](Layout&) {}, Where::localBin,
         [](const Layout& l) {
             struct stat folder {};
             ASSERT_EQ(::stat(l.localBin.c_str(), &folder), 0);
             EXPECT_EQ(folder.st_mode & 07777, 0755u);
         }},
        {"our old link is replaced", [](Layout& l) { l.linkFirst(l.otherCopy()); }, Where::localBin,
         nullptr},
        {"our dangling link is replaced",
         [](Layout& l) { l.linkFirst(l.scratch / "deleted-copy/orvel"); }, Where::localBin,
         nullptr},
        {"a foreign link is left alone", [](Layout& l) { l.linkFirst(l.foreignTool()); },
         Where::system,
         [](const Layout& l) {
             EXPECT_EQ(linkAt(l.localBin + "/orvel"), l.scratch / "elsewhere/orvel");
         }},
        {"a regular file is left alone",
         [](Layout& l) { ScratchDir::write(l.localBin + "/orvel", "mine"); }, Where::system,
         [](const Layout& l) { EXPECT_EQ(ScratchDir::read(l.localBin + "/orvel"), "mine"); }},
        {"a folder named orvel is left alone",
         [](Layout& l) { ScratchDir::write(l.localBin + "/orvel/kept", "mine"); }, Where::system,
         [](const Layout& l) { EXPECT_EQ(ScratchDir::read(l.localBin + "/orvel/kept"), "mine"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Layout layout;
        c.arrange(layout);
        std::vector<std::string> copied;
        const std::string message = CommandLineInstall::run(
            layout.paths(), [&](const std::string& text) { copied.push_back(text); });
        const std::string link =
            (c.expected == Where::localBin ? layout.localBin : layout.system) + "/orvel";
        EXPECT_EQ(message,
                  "Installed at " + link + ". Open a new terminal window and try orvel tvs.");
        EXPECT_EQ(linkAt(link), layout.tool);
        EXPECT_TRUE(copied.empty());
        if (c.leftAlone) c.leftAlone(layout);
        EXPECT_EQ(CommandLineInstall::installedPath(layout.paths()), link);
        for (const auto& entry : fs::directory_iterator(fs::path(link).parent_path()))
            EXPECT_NE(entry.path().filename().string().rfind(".orvel.", 0), 0u) << "left behind";
    }
}

TEST(CommandLineInstall, SaysWhenTheFolderJoinsThePathOnlyAtTheNextLogin) {
    Layout layout;
    auto paths = layout.paths();
    paths.commandPath = "/usr/bin:" + layout.system;
    EXPECT_EQ(CommandLineInstall::run(paths, {}),
              "Installed at " + layout.localBin +
                  "/orvel. Open a new terminal window and try orvel tvs. " + layout.localBin +
                  " joins your command path when you next log in.");
}

TEST(CommandLineInstall, WithoutItsToolChangesNothing) {
    Layout layout;
    auto paths = layout.paths();
    paths.tool.clear();
    bool copied = false;
    EXPECT_EQ(CommandLineInstall::run(paths, [&](const std::string&) { copied = true; }),
              CommandLineInstall::kNoToolMessage);
    EXPECT_FALSE(copied);
    EXPECT_FALSE(fs::exists(layout.localBin));
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
    EXPECT_EQ(
        CommandLineInstall::run(paths, [&](const std::string& text) { copied.push_back(text); }),
        "Copied an install command — paste it in a terminal (it asks for your password).");
    EXPECT_EQ(copied, std::vector<std::string>{"sudo mkdir -p /usr/local/bin && sudo ln -sfn '" +
                                               layout.scratch.path() +
                                               "/Bob'\\''s copy/orvel' /usr/local/bin/orvel"});
    EXPECT_FALSE(fs::exists(layout.scratch / "none"));
}

TEST(CommandLineInstall, FindsOnlyALinkToThisToolExactly) {
    Layout layout;
    EXPECT_EQ(CommandLineInstall::installedPath(layout.paths()), std::nullopt);
    layout.linkFirst(layout.copy + "/./orvel");
    EXPECT_EQ(CommandLineInstall::installedPath(layout.paths()), std::nullopt)
        << "the same file, spelled otherwise";
    fs::create_symlink(layout.tool, layout.system + "/orvel");
    EXPECT_EQ(CommandLineInstall::installedPath(layout.paths()), layout.system + "/orvel");
}

TEST(CommandLineInstall, TheToolIsBesideTheAppAndTheHomeComesFirst) {
    AppPaths::Environment env;
    env.home = "/home/ada/";
    auto paths = CommandLineInstall::forExecutable("/opt/orvel/bin/OrvelRemote", env);
    EXPECT_EQ(paths.tool, "/opt/orvel/bin/orvel");
    ASSERT_EQ(paths.candidates.size(), 2u);
    EXPECT_EQ(paths.candidates[0].folder, "/home/ada/.local/bin");
    EXPECT_TRUE(paths.candidates[0].createWhenMissing);
    EXPECT_EQ(paths.candidates[1].folder, "/usr/local/bin");
    EXPECT_FALSE(paths.candidates[1].createWhenMissing);
    env.home = "ada";
    paths = CommandLineInstall::forExecutable("/b/OrvelRemote", env);
    ASSERT_EQ(paths.candidates.size(), 1u) << "a relative home is no home";
    EXPECT_EQ(paths.candidates[0].folder, "/usr/local/bin");
}

}  // namespace
}  // namespace orvel::test

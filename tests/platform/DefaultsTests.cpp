#include "platform/Defaults.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "../support/ScratchDir.hpp"

namespace orvel {
namespace {

using nlohmann::json;
using test::ScratchDir;

class DefaultsTest : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string folder = dir / "config/Orvel Remote";
    std::string file = folder + "/defaults.json";

    json onDisk() const { return json::parse(ScratchDir::read(file)); }
};

TEST_F(DefaultsTest, EveryTypeSurvivesARestart) {
    const json devices =
        json::parse(R"([{"id":"sim:kitchen","name":"Kitchen","protocols":["Companion"]}])");
    {
        Defaults defaults(file);
        defaults.setBool("mediaKeys", false);
        defaults.setInt("shortcutCode", 4294967295);
        defaults.setDouble("menuBarAnchorOffset", 1234.5);
        defaults.setString("shortcutLabel", "Ctrl+Alt+Super+P");
        defaults.setJson("pairedDevices", devices);
        EXPECT_EQ(defaults.lastWriteError(), "");
    }
    Defaults reread(file);
    EXPECT_EQ(reread.boolValue("mediaKeys"), false);
    EXPECT_EQ(reread.intValue("shortcutCode"), 4294967295);
    EXPECT_EQ(reread.doubleValue("menuBarAnchorOffset"), 1234.5);
    EXPECT_EQ(reread.stringValue("shortcutLabel"), "Ctrl+Alt+Super+P");
    EXPECT_EQ(reread.jsonValue("pairedDevices"), devices);
    EXPECT_EQ(reread.loadProblem(), "");
}

TEST_F(DefaultsTest, RegisteredDefaultsApplyButAreNeverWritten) {
    Defaults defaults(file);
    defaults.registerDefaults({{"followPlaying", true}, {"shortcutCode", 35}});
    EXPECT_EQ(defaults.boolValue("followPlaying"), true);
    EXPECT_FALSE(defaults.contains("followPlaying"));
    EXPECT_EQ(defaults.intValue("missing"), std::nullopt);
    defaults.setBool("followPlaying", false);
    EXPECT_EQ(defaults.boolValue("followPlaying"), false);
    EXPECT_EQ(onDisk(), json({{"followPlaying", false}}));
    defaults.remove("followPlaying");
    EXPECT_EQ(defaults.boolValue("followPlaying"), true);
    EXPECT_EQ(onDisk(), json::object());
}

TEST_F(DefaultsTest, AValueOfTheWrongTypeReadsAsTheRegisteredDefault) {
    ScratchDir::write(file, R"({"b": "yes", "i": 1.5, "big": 18446744073709551615,
                               "whole": 35.0, "s": 7, "d": "1"})");
    Defaults defaults(file);
    defaults.registerDefaults({{"b", true}, {"i", 1}, {"big", 2}, {"s", "x"}, {"d", 0.5}});
    EXPECT_EQ(defaults.boolValue("b"), true);
    EXPECT_EQ(defaults.intValue("i"), 1);
    EXPECT_EQ(defaults.intValue("big"), 2);
    EXPECT_EQ(defaults.intValue("whole"), 35);
    EXPECT_EQ(defaults.stringValue("s"), "x");
    EXPECT_EQ(defaults.doubleValue("d"), 0.5);
    EXPECT_EQ(defaults.jsonValue("s"), json(7));  // the raw value is still there
}

TEST_F(DefaultsTest, AnUnusableFileIsMovedAside) {
    const std::string tooDeep = "{\"a\":" + std::string(300, '[') + std::string(300, ']') + "}";
    const std::string bad[] = {"{\"mediaKeys\": tru", "[true]", "", tooDeep};
    for (const auto& text : bad) {
        SCOPED_TRACE(text.substr(0, 20));
        ScratchDir::write(file, text);
        Defaults defaults(file);
        defaults.registerDefaults({{"mediaKeys", true}});
        EXPECT_EQ(defaults.boolValue("mediaKeys"), true);
        EXPECT_NE(defaults.loadProblem().find("moved to"), std::string::npos);
        EXPECT_EQ(ScratchDir::read(defaults.movedAsidePath()), text);
        EXPECT_FALSE(std::filesystem::exists(file));
        ::unlink(defaults.movedAsidePath().c_str());
    }
}

TEST_F(DefaultsTest, ReadOnlyReadsTheFileAndLeavesItAsItWas) {
    const std::pair<std::string, bool> files[] = {{R"({"mediaKeys": false})", false},
                                                  {R"({"mediaKeys": tru)", true}};
    for (const auto& [text, mediaKeys] : files) {
        SCOPED_TRACE(text);
        ScratchDir::write(file, text);
        Defaults defaults(file, Defaults::ReadOnly{});
        defaults.registerDefaults({{"mediaKeys", true}});
        EXPECT_EQ(defaults.boolValue("mediaKeys"), mediaKeys);
        defaults.setInt("shortcutCode", 35);
        EXPECT_EQ(defaults.intValue("shortcutCode"), 35);
        EXPECT_TRUE(defaults.save().ok());
        EXPECT_EQ(ScratchDir::read(file), text);
        EXPECT_FALSE(std::filesystem::exists(file + ".corrupt"));
    }
}

// The folder's place is taken by a regular file, which fails even for root.
TEST_F(DefaultsTest, AFailedWriteIsKeptAndRetriedByTheNextSave) {
    ScratchDir::write(dir / "config", "not a folder");
    Defaults defaults(file);
    std::vector<std::string> told;  // lastWriteError() as each write's hook saw it
    defaults.setOnWrite([&] { told.push_back(defaults.lastWriteError()); });
    defaults.setBool("mediaKeys", false);
    EXPECT_EQ(defaults.boolValue("mediaKeys"), false);
    EXPECT_NE(defaults.lastWriteError().find("could not be saved"), std::string::npos);
    auto retried = defaults.save();
    ASSERT_FALSE(retried);
    EXPECT_EQ(retried.error(), defaults.lastWriteError());
    std::filesystem::remove(dir / "config");
    const mode_t umask = ::umask(0);  // the file names the user's TVs, whatever the umask
    defaults.setInt("shortcutCode", 35);
    ::umask(umask);
    EXPECT_EQ(defaults.lastWriteError(), "");
    EXPECT_EQ(onDisk(), json({{"mediaKeys", false}, {"shortcutCode", 35}}));
    EXPECT_EQ(ScratchDir::mode(file), 0600u);
    EXPECT_EQ(told, (std::vector<std::string>{retried.error(), retried.error(), ""}));
    defaults.setInt("shortcutCode", 35);  // nothing to write: nothing to tell
    EXPECT_EQ(told.size(), 3u);
}

TEST_F(DefaultsTest, ACorruptFileThatCannotBeMovedBlocksEveryWrite) {
    ScratchDir::write(file, "garbage");
    // Every name it could go to is taken: permissions would not stop root.
    for (int index = 0; index < 1000; ++index)
        ScratchDir::write(file + ".corrupt" + (index ? "." + std::to_string(index) : ""), "");
    Defaults defaults(file);
    defaults.setBool("mediaKeys", false);
    EXPECT_EQ(defaults.loadProblem(), "The settings file \"" + file +
                                          "\" could not be understood and could not be moved "
                                          "aside (File exists), so the default settings apply "
                                          "and changes are not saved.");
    EXPECT_NE(defaults.lastWriteError(), "");
    EXPECT_EQ(ScratchDir::read(file), "garbage");
    std::filesystem::remove(file + ".corrupt.999");
    EXPECT_TRUE(defaults.save().ok());
    EXPECT_EQ(ScratchDir::read(file + ".corrupt.999"), "garbage");
    EXPECT_NE(defaults.loadProblem().find("moved to"), std::string::npos);
    EXPECT_EQ(onDisk(), json({{"mediaKeys", false}}));
}

TEST_F(DefaultsTest, AnUnchangedValueDoesNotRewriteTheFile) {
    Defaults defaults(file);
    defaults.setValues({{"a", 1}, {"b", "x"}});
    struct stat before {
    }, after{};
    ::stat(file.c_str(), &before);
    defaults.setValues({{"a", 1}, {"b", "x"}});
    defaults.setInt("a", 1);
    defaults.setDouble("c", std::nan(""));  // has no JSON form
    ::stat(file.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_FALSE(defaults.contains("c"));
}

TEST_F(DefaultsTest, ConcurrentWritersNeverLeaveATornFile) {
    constexpr int kSaves = 60;
    std::atomic<bool> done{false};
    std::atomic<int> unreadable{0};
    std::thread reader([&] {
        while (!done) {
            std::string text = ScratchDir::read(file);
            if (!text.empty() && !Defaults::decode(text)) ++unreadable;
        }
    });
    auto writer = [&](const std::string& name) {
        Defaults defaults(file);
        // A long value makes a torn write likely to show.
        for (int i = 0; i < kSaves; ++i)
            defaults.setValues({{name, i}, {"padding", std::string(8192, name[0])}});
    };
    std::thread first(writer, "first"), second(writer, "second");
    first.join();
    second.join();
    done = true;
    reader.join();
    EXPECT_EQ(unreadable, 0);
    json last = onDisk();
    EXPECT_TRUE(last.value("first", -1) == kSaves - 1 || last.value("second", -1) == kSaves - 1);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename().string().rfind(".defaults", 0), std::string::npos)
            << "temporary file left behind";
}

}  // namespace
}  // namespace orvel

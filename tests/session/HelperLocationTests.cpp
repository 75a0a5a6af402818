#include "session/HelperLocation.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../platform/ScratchDir.hpp"

namespace orvel {
namespace {

using HelperLocation::Command;

void makeProgram(const std::string& path, mode_t mode = 0755) {
    testing::ScratchDir::write(path, "#!/bin/sh\n");
    ::chmod(path.c_str(), mode);
}

TEST(HelperLocation, BesideTheProgramThenInstalledThenTheDevelopmentScript) {
    testing::ScratchDir dir;
    const std::string bin = dir / "bin";
    HelperLocation::Inputs inputs{bin, "/usr/bin/python3", "/src/bridge.py"};
    std::filesystem::create_directories(bin);

    EXPECT_EQ(HelperLocation::locate(inputs), (std::variant<Command, std::string>(Command{
                                                  "/usr/bin/python3", {"-u", "/src/bridge.py"}})));

    makeProgram(dir / "libexec/orvel-remote/OrvelBridge");
    EXPECT_EQ(HelperLocation::locate(inputs), (std::variant<Command, std::string>(Command{
                                                  dir / "libexec/orvel-remote/OrvelBridge", {}})));

    makeProgram(bin + "/OrvelBridge", 0644);  // not executable: passed over
    EXPECT_EQ(std::get<Command>(HelperLocation::locate(inputs)).executable,
              dir / "libexec/orvel-remote/OrvelBridge");
    ::chmod((bin + "/OrvelBridge").c_str(), 0755);
    EXPECT_EQ(std::get<Command>(HelperLocation::locate(inputs)).executable, bin + "/OrvelBridge");
}

TEST(HelperLocation, WithoutHelperOrBothVariablesItIsMissing) {
    const std::string missing = "The TV helper is missing. Build the app with Scripts/build-app.";
    for (const auto& inputs : {HelperLocation::Inputs{"/nonexistent", std::nullopt, std::nullopt},
                               HelperLocation::Inputs{"", "/usr/bin/python3", std::nullopt},
                               HelperLocation::Inputs{"", std::nullopt, "/src/bridge.py"},
                               HelperLocation::Inputs{"", "", "/src/bridge.py"}}) {
        EXPECT_EQ(HelperLocation::locate(inputs), (std::variant<Command, std::string>(missing)));
    }
}

}  // namespace
}  // namespace orvel

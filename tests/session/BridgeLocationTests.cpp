#include "session/BridgeLocation.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../support/ScratchDir.hpp"

namespace orvel {
namespace {

using BridgeLocation::Command;

void makeProgram(const std::string& path, mode_t mode = 0755) {
    test::ScratchDir::write(path, "#!/bin/sh\n");
    ::chmod(path.c_str(), mode);
}

TEST(BridgeLocation, BesideTheProgramThenInstalledThenTheDevelopmentScript) {
    test::ScratchDir dir;
    const std::string bin = dir / "bin";
    BridgeLocation::Inputs inputs{bin, "/usr/bin/python3", "/src/bridge.py"};
    std::filesystem::create_directories(bin);

    EXPECT_EQ(BridgeLocation::locate(inputs), (std::variant<Command, std::string>(Command{
                                                  "/usr/bin/python3", {"-u", "/src/bridge.py"}})));

    makeProgram(dir / "libexec/orvel-remote/OrvelBridge");
    EXPECT_EQ(BridgeLocation::locate(inputs), (std::variant<Command, std::string>(Command{
                                                  dir / "libexec/orvel-remote/OrvelBridge", {}})));

    makeProgram(bin + "/OrvelBridge", 0644);  // not executable: passed over
    EXPECT_EQ(std::get<Command>(BridgeLocation::locate(inputs)).executable,
              dir / "libexec/orvel-remote/OrvelBridge");
    ::chmod((bin + "/OrvelBridge").c_str(), 0755);
    EXPECT_EQ(std::get<Command>(BridgeLocation::locate(inputs)).executable, bin + "/OrvelBridge");
}

TEST(BridgeLocation, WithoutHelperOrBothVariablesItIsMissing) {
    const std::string missing = "The TV helper is missing. Build the app with Scripts/build-app.";
    for (const auto& inputs : {BridgeLocation::Inputs{"/nonexistent", std::nullopt, std::nullopt},
                               BridgeLocation::Inputs{"", "/usr/bin/python3", std::nullopt},
                               BridgeLocation::Inputs{"", std::nullopt, "/src/bridge.py"},
                               BridgeLocation::Inputs{"", "", "/src/bridge.py"}}) {
        EXPECT_EQ(BridgeLocation::locate(inputs), (std::variant<Command, std::string>(missing)));
    }
}

}  // namespace
}  // namespace orvel

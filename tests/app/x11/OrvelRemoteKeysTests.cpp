// OrvelRemote --headless on an X server of its own (with-xvfb.sh), typed into through XTEST as
// a user would: the global shortcut, Super with Play on the simulated Bedroom TV, Play without
// Super left to the desktop, and the media-key diagnostics.

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "../../support/HeadlessProfile.hpp"
#include "../../support/ProgramRun.hpp"
#include "../../support/ScopedEnvironment.hpp"
#include "../../support/ScratchDir.hpp"
#include "../../support/TestXClient.hpp"
#include "../../support/Waiting.hpp"

namespace orvel::test {
namespace {

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
constexpr std::uint16_t kShortcutState = 0x04 | 0x08 | 0x40;  // Control, Mod1, Mod4
constexpr std::uint8_t kBadAccess = 10;
constexpr const char* kToggled = "Remote toggled\n";

class OrvelRemoteKeys : public ::testing::Test {
protected:
    void SetUp() override {
        if (display.empty()) GTEST_SKIP() << "no X server";
        environment.set("DISPLAY", display);  // the profile leaves the app none
        client = std::make_unique<TestXClient>();
        ASSERT_TRUE(client->ok());
    }

    void launch() {
        app = profile.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH,
                             {"--media-key-diagnostics", diagnosticsPath},
                             ChildProcess::Errors::pipe);
        ASSERT_TRUE(app) << "the app did not connect to the Bedroom TV";
        errors = app->takeStderr();
    }

    void TearDown() override {
        if (!app) return;
        app->signal(SIGTERM);
        EXPECT_EQ(waitForExit(*app, 10), 0);
    }

    nlohmann::json diagnostics() const {
        std::ifstream file(diagnosticsPath);
        return nlohmann::json::parse(file, nullptr, false);
    }

    // The diagnostics, once they satisfy `done` (the poll rewrites them every 2 seconds).
    nlohmann::json diagnosticsOnce(const std::function<bool(const nlohmann::json&)>& done) {
        nlohmann::json found;
        eventually(
            [&] {
                found = diagnostics();
                return found.is_object() && done(found);
            },
            10);
        return found;
    }

    xcb_keycode_t key(std::uint32_t keysym) { return client->keycode(keysym); }

    const std::string display =
        ScopedEnvironment::get("DISPLAY");  // before the profile takes it away
    HeadlessProfile profile;
    ScopedEnvironment environment;
    ScratchDir scratch;
    std::string diagnosticsPath = scratch.path() + "/keys.json";
    std::unique_ptr<TestXClient> client;
    std::unique_ptr<ChildProcess> app;
    UniqueFd errors;
    std::string written;
};

// How often a held shortcut or media key counts is the backends' and MediaKeys' to test; here:
// that the app's own keys reach their actions.
TEST_F(OrvelRemoteKeys, TheShortcutRunsItsAction) {
    launch();
    EXPECT_EQ(client->grab(key(XK_p), kShortcutState), kBadAccess) << "the app holds it";
    client->tap({key(XK_Control_L), key(XK_Alt_L), key(XK_Super_L), key(XK_p)});
    written += readUntil(errors.get(), kToggled, 5);
    EXPECT_NE(written.find(kToggled), std::string::npos) << written;
}

TEST_F(OrvelRemoteKeys, AShortcutAnotherProgramHoldsIsSaidAtLaunch) {
    ASSERT_EQ(client->grab(key(XK_p), kShortcutState), 0);
    launch();
    const std::string sentence =
        "OrvelRemote: This shortcut is already in use. Choose another combination.\n";
    written += readUntil(errors.get(), sentence, 5);
    EXPECT_NE(written.find(sentence), std::string::npos) << written;
}

TEST_F(OrvelRemoteKeys, SuperWithPlayDrivesTheTVAndPlayAloneReachesTheDesktop) {
    launch();
    const auto ready = diagnosticsOnce([](const nlohmann::json& d) { return d.size() == 12U; });
    EXPECT_EQ(ready.value("capture", ""), "ready") << ready.dump();
    EXPECT_EQ(ready.value("target", ""), "roku:sim-bedroom");

    client->tap({key(XF86XK_AudioPlay)});
    EXPECT_TRUE(eventually([&] { return client->received(key(XF86XK_AudioPlay)); }, 5));
    client->tap({key(XK_Super_L), key(XF86XK_AudioPlay)});
    const auto played = diagnosticsOnce(
        [](const nlohmann::json& d) { return d.value("lastRoutedAction", "") == "playPause"; });
    EXPECT_EQ(played.value("lastRoutedTarget", ""), "roku:sim-bedroom") << played.dump();
    int playEvents = 0;
    for (const auto& each : client->keys()) playEvents += each.keycode == key(XF86XK_AudioPlay);
    EXPECT_EQ(playEvents, 2) << "Super+Play reached the focused window";
}
#endif

}  // namespace
}  // namespace orvel::test

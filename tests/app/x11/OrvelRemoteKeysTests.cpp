// OrvelRemote --headless on an X server of its own (with-xvfb.sh), typed into through XTEST as
// a user would: the global shortcut, Super with the media keys on the simulated Bedroom TV, the
// keys without Super left to the desktop, and the media-key diagnostics at each stage.

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
#include "platform/Uptime.hpp"

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
        client->setRepeat(40, 10);
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

    // How many times the shortcut's action ran, once `expected` did or `seconds` passed.
    std::size_t toggles(std::size_t expected, double seconds) {
        const double deadline = Uptime::now() + seconds;
        for (;;) {
            std::size_t count = 0;
            for (auto at = written.find(kToggled); at != std::string::npos;
                 at = written.find(kToggled, at + 1)) {
                ++count;
            }
            const double left = deadline - Uptime::now();
            if (count >= expected || left <= 0) return count;
            written += readUntil(errors.get(), kToggled, left);
        }
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

TEST_F(OrvelRemoteKeys, TheShortcutRunsItsActionOncePerPressWhileHeld) {
    launch();
    const std::vector<xcb_keycode_t> shortcut{key(XK_Control_L), key(XK_Alt_L), key(XK_Super_L),
                                              key(XK_p)};
    EXPECT_EQ(client->grab(key(XK_p), kShortcutState), kBadAccess) << "the app holds it";
    // Held long enough for dozens of repeats at the fast rate.
    for (auto each : shortcut) client->press(each);
    client->sync();
    EXPECT_EQ(toggles(2, 1.0), 1U) << written;
    for (auto it = shortcut.rbegin(); it != shortcut.rend(); ++it) client->release(*it);
    client->tap(shortcut);
    EXPECT_EQ(toggles(2, 5.0), 2U) << written;
}

TEST_F(OrvelRemoteKeys, AShortcutAnotherProgramHoldsIsSaidAtLaunch) {
    ASSERT_EQ(client->grab(key(XK_p), kShortcutState), 0);
    launch();
    const std::string sentence =
        "OrvelRemote: This shortcut is already in use. Choose another combination.\n";
    written += readUntil(errors.get(), sentence, 5);
    EXPECT_NE(written.find(sentence), std::string::npos) << written;
}

TEST_F(OrvelRemoteKeys, SuperWithTheMediaKeysDrivesTheTVAndTheKeysAloneReachTheDesktop) {
    launch();
    const auto ready = diagnosticsOnce([](const nlohmann::json& d) { return d.size() == 12U; });
    EXPECT_EQ(ready.value("capture", ""), "ready") << ready.dump();
    EXPECT_EQ(ready.value("target", ""), "roku:sim-bedroom");

    // Play alone is the desktop's.
    client->tap({key(XF86XK_AudioPlay)});
    EXPECT_TRUE(eventually([&] { return client->received(key(XF86XK_AudioPlay)); }, 5));
    // Super+Play, held through repeats, is one playPause.
    client->press(key(XK_Super_L));
    client->press(key(XF86XK_AudioPlay));
    client->sync();
    const auto played =
        diagnosticsOnce([](const nlohmann::json& d) { return d.value("mediaEventCount", 0) >= 3; });
    client->release(key(XF86XK_AudioPlay));
    EXPECT_EQ(played.value("lastRoutedAction", ""), "playPause") << played.dump();
    EXPECT_EQ(played.value("lastRoutedTarget", ""), "roku:sim-bedroom");
    EXPECT_EQ(played.value("lastRoutedEventCount", 0), 1) << "the repeats were sent too";

    // Super+Volume Up held: a step for the press and each repeat.
    client->press(key(XF86XK_AudioRaiseVolume));
    client->sync();
    const auto stepped = diagnosticsOnce([](const nlohmann::json& d) {
        return d.value("lastRoutedAction", "") == "volumeUp" &&
               d.value("lastRoutedEventCount", 0) >= 4;
    });
    client->release(key(XF86XK_AudioRaiseVolume));
    client->release(key(XK_Super_L));
    EXPECT_EQ(stepped.value("lastRoutedEventCount", 0), stepped.value("mediaEventCount", -1))
        << stepped.dump();
    int playEvents = 0;
    for (const auto& each : client->keys()) {
        if (each.keycode == key(XF86XK_AudioPlay)) ++playEvents;
    }
    EXPECT_EQ(playEvents, 2) << "Super+Play reached the focused window";
    EXPECT_FALSE(client->received(key(XF86XK_AudioRaiseVolume)));
}
#endif

}  // namespace
}  // namespace orvel::test

// OrvelRemote on an X server and buses of its own (with-desktop.sh, on a private system bus),
// used as a user would. With its interface: the tray host sees its item, scrolling on the icon
// and clicking it work, keys typed through XTEST into the open remote reach the simulated TV
// (which notes each command in ORVEL_SIMULATE_LOG), the desktop's media controls raise the
// remote, and a second launch opens the first one's remote. Headless: the global shortcut,
// Super with Play on the Bedroom TV while Play alone reaches the desktop, and logind's sleep.

#include <gtest/gtest.h>
#include <signal.h>

#include <xcb/xcb_keysyms.h>
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "../../shell/FakeLogind.hpp"
#include "../../shell/FakeStatusNotifierWatcher.hpp"
#include "../../shell/PrivateBus.hpp"
#include "../../support/HeadlessProfile.hpp"
#include "../../support/ProgramRun.hpp"
#include "../../support/ScopedEnvironment.hpp"
#include "../../support/ScratchDir.hpp"
#include "../../support/TestXClient.hpp"
#include "../../support/Waiting.hpp"

namespace orvel::test {
namespace {

// The built app on a profile of its own, ended at the test's end, and what the test shares
// with it: the X server, the session bus and a Qt application for the buses' messages.
class AppOnDesktop : public ::testing::Test {
protected:
    void TearDown() override {
        if (!app) return;
        app->signal(SIGTERM);
        EXPECT_EQ(waitForExit(*app, 10), 0);
    }

    // Gives the app the display (the profile leaves it none) and types into it through a client.
    void openDisplay() {
        environment.set("DISPLAY", display);
        client = std::make_unique<TestXClient>();
        ASSERT_TRUE(client->ok());
    }
    void startQt() {
        if (QCoreApplication::instance() == nullptr)
            qt = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Polls while Qt delivers the buses' messages.
    static bool until(const std::function<bool()>& done, double seconds = 30) {
        return eventually(
            [&] {
                QCoreApplication::processEvents();
                return done();
            },
            seconds);
    }
    xcb_keycode_t key(std::uint32_t keysym) { return client->keycode(keysym); }

    // Before the profile takes them away.
    const std::string display = ScopedEnvironment::get("DISPLAY");
    const std::string bus = ScopedEnvironment::get("DBUS_SESSION_BUS_ADDRESS");
    HeadlessProfile profile;
    ScopedEnvironment environment;
    ScratchDir scratch;
    int argc = 1;
    char name[16] = "desktop_tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QCoreApplication> qt;
    std::unique_ptr<TestXClient> client;
    std::unique_ptr<ChildProcess> app;
};

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
const std::string kPanelTitle = "Orvel Remote";

class DesktopApp : public AppOnDesktop {
protected:
    void SetUp() override {
        if (display.empty() || ScopedEnvironment::get("ORVEL_PRIVATE_SESSION_BUS") != "1") {
            GTEST_SKIP() << "needs an X server and a private session bus (with-desktop.sh)";
        }
        openDisplay();
        environment.set("DBUS_SESSION_BUS_ADDRESS", bus);
        environment.set("ORVEL_SIMULATE_LOG", commandLog);
        startQt();
        watcher = std::make_unique<FakeStatusNotifierWatcher>(QString::fromStdString(bus));
        ASSERT_TRUE(watcher->serving());
        profile.withInterface();
    }

    void launch(const std::vector<std::string>& arguments = {}) {
        app = profile.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH, arguments);
        ASSERT_TRUE(app) << "the app did not connect to the Bedroom TV";
        ASSERT_TRUE(until([&] { return !watcher->registrations().isEmpty(); })) << "no tray item";
    }

    // A plain call: an introspecting interface would cache a meta-object in the connection
    // that outlives the test's application object.
    QDBusMessage callItem(const QString& method, const QVariantList& arguments) {
        auto call = QDBusMessage::createMethodCall(watcher->registrations().front().service,
                                                   "/StatusNotifierItem",
                                                   "org.kde.StatusNotifierItem", method);
        call.setArguments(arguments);
        return watcher->bus().call(call);
    }

    bool reached(const std::string& fragment) {
        return until(
            [&] { return ScratchDir::read(commandLog).find(fragment) != std::string::npos; });
    }

    std::optional<TestXClient::Frame> panel() { return client->shownWindow(kPanelTitle); }
    // Shown means mapped and holding the keyboard, so that keys typed next reach it.
    bool panelShown(bool shown) {
        return until([&] {
            const auto frame = panel();
            return shown ? frame && client->focusedWithin(frame->window) : !frame;
        });
    }

    void type(std::uint32_t keysym) { client->tap({key(keysym)}); }

    const std::string commandLog = scratch.path() + "/commands.jsonl";
    std::unique_ptr<FakeStatusNotifierWatcher> watcher;
};

TEST_F(DesktopApp, ScrollingOnTheIconStepsTheVolumeAndAClickOpensTheRemoteForItsKeys) {
    launch();
    EXPECT_EQ(callItem("Scroll", {120, QString("vertical")}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(reached(R"("action":"volumeUp")"));
    EXPECT_FALSE(panel()) << "scrolling never opens the remote";

    ASSERT_EQ(runProgram(ORVEL_TOOL_PATH, {"launch", "netflix"}).status, 0);
    callItem("Activate", {300, 0});
    ASSERT_TRUE(panelShown(true));
    EXPECT_NEAR(panel()->x, 300, 300) << "under the icon, within the screen";

    type(XK_Up);
    EXPECT_TRUE(reached(R"("action":"up")"));
    client->tap({key(XK_Control_L), key(XK_k)});
    type(XK_h);
    type(XK_i);
    type(XK_Return);
    EXPECT_TRUE(reached(R"("action":"text","device":"roku:sim-bedroom","text":"hi")"))
        << ScratchDir::read(commandLog);
}

// Driving the TV through them is MediaPlayerOnBus's.
TEST_F(DesktopApp, TheDesktopsMediaControlsRaiseTheRemote) {
    launch();
    const QString player = QStringLiteral("org.mpris.MediaPlayer2.orvel");
    ASSERT_TRUE(until([&] { return watcher->bus().interface()->isServiceRegistered(player); }));
    const auto raise = QDBusMessage::createMethodCall(player, "/org/mpris/MediaPlayer2",
                                                      "org.mpris.MediaPlayer2", "Raise");
    EXPECT_EQ(watcher->bus().call(raise).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(panelShown(true)) << "raised, the player opens the remote";
}

TEST_F(DesktopApp, AClickOutsideClosesTheRemoteAndASecondLaunchOpensIt) {
    launch({"--show-remote"});
    ASSERT_TRUE(panelShown(true));
    ASSERT_GT(panel()->x, 100) << "clear of the other program's window";
    // Another program's window, clicked: the window manager would give it the keyboard.
    client->click(50, 50);
    client->takeFocus();
    EXPECT_TRUE(panelShown(false));

    const auto second = runProgram(ORVEL_APP_PATH, {}, 10);
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_TRUE(panelShown(true)) << "the first app shows its remote";
}

constexpr std::uint16_t kShortcutState = 0x04 | 0x08 | 0x40;  // Control, Mod1, Mod4
constexpr std::uint8_t kBadAccess = 10;
constexpr const char* kToggled = "Remote toggled\n";

class OrvelRemoteKeys : public AppOnDesktop {
protected:
    void SetUp() override {
        if (display.empty()) GTEST_SKIP() << "no X server";
        openDisplay();
    }

    void launch() {
        app = profile.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH,
                             {"--media-key-diagnostics", diagnosticsPath},
                             ChildProcess::Errors::pipe);
        ASSERT_TRUE(app) << "the app did not connect to the Bedroom TV";
        errors = app->takeStderr();
    }

    // The diagnostics, once they satisfy `done` (the poll rewrites them every 2 seconds).
    nlohmann::json diagnosticsOnce(const std::function<bool(const nlohmann::json&)>& done) {
        nlohmann::json found;
        eventually(
            [&] {
                std::ifstream file(diagnosticsPath);
                found = nlohmann::json::parse(file, nullptr, false);
                return found.is_object() && done(found);
            },
            10);
        return found;
    }

    std::string diagnosticsPath = scratch.path() + "/keys.json";
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

// The headless app hears of sleep from a fake logind: the computer's sleep drops the TV's
// connection and the wake makes it again.
using HeadlessSleep = AppOnDesktop;

TEST_F(HeadlessSleep, TheConnectionGoesWithTheSleepAndComesBackWithTheWake) {
    if (ScopedEnvironment::get("ORVEL_PRIVATE_SYSTEM_BUS").empty())
        GTEST_SKIP() << "needs the private system bus of with-private-system-bus.sh";
    startQt();
    PrivateBus systemBus("ORVEL_PRIVATE_SYSTEM_BUS");
    ASSERT_TRUE(systemBus.available());
    FakeLogind logind(systemBus.connection(), {.autoId = QStringLiteral("c3")});
    ASSERT_TRUE(logind.registered());
    // What the running app says of the TV; nothing when it does not answer.
    const auto connected = []() -> std::optional<bool> {
        const auto status = runProgram(ORVEL_TOOL_PATH, {"status"});
        if (status.status != 0) return std::nullopt;
        return status.out.find("not connected") == std::string::npos;
    };

    environment.unset("XDG_SESSION_ID");  // the session is found as logind's "auto"
    app = profile.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH, {});
    ASSERT_TRUE(app) << "the app did not connect to the Bedroom TV";
    ASSERT_TRUE(until([&] { return logind.sessionReads() > 0; })) << "logind was never asked";

    logind.sleep(true);
    EXPECT_TRUE(until([&] { return connected() == false; })) << "still connected in its sleep";
    logind.sleep(false);
    EXPECT_TRUE(until([&] { return connected() == true; })) << "not connected again after the wake";
    // Ended while logind still answers: it goes with the test's body.
    app->signal(SIGTERM);
    EXPECT_EQ(waitForExit(*app, 10), 0);
    app.reset();
}
#endif

}  // namespace
}  // namespace orvel::test

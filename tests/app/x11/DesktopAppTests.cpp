// OrvelRemote with its interface, on an X server and a session bus of its own
// (with-desktop.sh), used as a user would: the tray host sees its item, scrolling on the icon
// and clicking it work, keys typed through XTEST into the open remote reach the simulated TV
// (which notes each command in ORVEL_SIMULATE_LOG), the desktop's media controls raise the
// remote, and a second launch opens the first one's remote.

#include <gtest/gtest.h>
#include <signal.h>

#include <xcb/xcb_keysyms.h>
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <memory>
#include <string>

#include "../../shell/FakeStatusNotifierWatcher.hpp"
#include "../../support/HeadlessProfile.hpp"
#include "../../support/ProgramRun.hpp"
#include "../../support/ScopedEnvironment.hpp"
#include "../../support/ScratchDir.hpp"
#include "../../support/TestXClient.hpp"
#include "../../support/Waiting.hpp"

namespace orvel::test {
namespace {
const std::string kPanelTitle = "Orvel Remote";

class DesktopApp : public ::testing::Test {
protected:
    void SetUp() override {
        if (display.empty() || ScopedEnvironment::get("ORVEL_PRIVATE_SESSION_BUS") != "1") {
            GTEST_SKIP() << "needs an X server and a private session bus (with-desktop.sh)";
        }
        environment.set("DISPLAY", display);
        environment.set("DBUS_SESSION_BUS_ADDRESS", bus);
        environment.set("ORVEL_SIMULATE_LOG", commandLog);
        if (QCoreApplication::instance() == nullptr)
            qt = std::make_unique<QCoreApplication>(argc, argv);
        watcher = std::make_unique<FakeStatusNotifierWatcher>(QString::fromStdString(bus));
        ASSERT_TRUE(watcher->serving());
        client = std::make_unique<TestXClient>();
        ASSERT_TRUE(client->ok());
        profile.withInterface();
    }

    void TearDown() override {
        if (!app) return;
        app->signal(SIGTERM);
        EXPECT_EQ(waitForExit(*app, 10), 0);
    }

    void launch(const std::vector<std::string>& arguments = {}) {
        app = profile.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH, arguments);
        ASSERT_TRUE(app) << "the app did not connect to the Bedroom TV";
        ASSERT_TRUE(until([&] { return !watcher->registrations().isEmpty(); })) << "no tray item";
    }

    // Polls while Qt delivers the bus's messages to the watcher.
    static bool until(const std::function<bool()>& done, double seconds = 30) {
        return eventually(
            [&] {
                QCoreApplication::processEvents();
                return done();
            },
            seconds);
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

    void type(std::uint32_t keysym) { client->tap({client->keycode(keysym)}); }

    const std::string display = ScopedEnvironment::get("DISPLAY");
    const std::string bus = ScopedEnvironment::get("DBUS_SESSION_BUS_ADDRESS");
    HeadlessProfile profile;  // takes both away from the app until SetUp gives them back
    ScopedEnvironment environment;
    ScratchDir scratch;
    const std::string commandLog = scratch.path() + "/commands.jsonl";
    int argc = 1;
    char name[16] = "desktop_tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QCoreApplication> qt;
    std::unique_ptr<FakeStatusNotifierWatcher> watcher;
    std::unique_ptr<TestXClient> client;
    std::unique_ptr<ChildProcess> app;
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
    client->tap({client->keycode(XK_Control_L), client->keycode(XK_k)});
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

}  // namespace
}  // namespace orvel::test

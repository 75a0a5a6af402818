// The remote's showings on a screenless desktop: toggling, the close triggers, the keys that
// reach the TV, where the panel opens, and the text field that goes after a click beside it.

#include "shell/RemoteController.hpp"

#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include "ShellSessionHarness.hpp"
#include "shell/RemotePanel.hpp"

namespace orvel::test {
namespace {

struct RemoteControllerTest : SessionTest {
    RemoteControllerTest()
        : SessionTest({{"pairedDevices", savedList({kBedroom})}, {"lastDevice", kBedroom.id}}),
          remote(store, *h.defaults,
                 {.showSettings = [this] { ++settingsShown; }, .quit = [this] { ++quits; }}),
          shown(&remote, &RemoteController::shownChanged) {}

    // Shows the remote and waits until it has the keyboard.
    QWindow* showActive(std::optional<QPoint> at = QPoint(700, 5)) {
        remote.show(at);
        EXPECT_TRUE(QTest::qWaitForWindowActive(remote.panel()));
        return remote.panel()->windowHandle();
    }
    void connectBedroom() {
        store.start();
        h.connect(kBedroom);
        bridge.emit(stateWith({"up", "down", "select", "playPause"}));
        idle();
    }
    // The text field of the view, shown by a focus request.
    QLineEdit* showTextField() {
        store.focusText();
        idle();
        return remote.panel()->findChild<QLineEdit*>();
    }

    int settingsShown = 0;
    int quits = 0;
    RemoteController remote;
    QSignalSpy shown;
};

TEST_F(RemoteControllerTest, ToggleShowsThenCloses) {
    remote.toggle(QPoint(700, 5));
    EXPECT_TRUE(remote.isShown());
    EXPECT_TRUE(remote.panel()->isVisible());
    remote.toggle(std::nullopt);
    EXPECT_FALSE(remote.isShown());
    EXPECT_FALSE(remote.panel()->isVisible());
    ASSERT_EQ(shown.count(), 2);
    EXPECT_TRUE(shown.at(0).at(0).toBool());
    EXPECT_FALSE(shown.at(1).at(0).toBool());
}

TEST_F(RemoteControllerTest, TrayPointIsRememberedAndTheOffsetPlacesTheNextShowing) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    remote.show(QPoint(screen.left() + 300, screen.top() + 5));
    EXPECT_EQ(h.defaults->doubleValue(RemoteController::kAnchorOffsetKey), 300.0);
    EXPECT_EQ(remote.panel()->surfaceGeometry().left(), screen.left() + 289);
    remote.close();
    h.defaults->setDouble(RemoteController::kAnchorOffsetKey, 200);
    remote.show(std::nullopt);
    EXPECT_EQ(remote.panel()->surfaceGeometry().left(), screen.left() + 189);
    EXPECT_EQ(
        remote.panel()->surfaceGeometry().top(),
        std::max(screen.top() + 1, QGuiApplication::primaryScreen()->availableGeometry().top()));
}

TEST_F(RemoteControllerTest, CtrlKShowsTheFieldEscapeEndsItAndCtrlCommaOpensTheSettings) {
    const int before = store.state().focusTextRequest;
    QTest::keyClick(showActive(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(store.state().textEntryVisible);
    EXPECT_EQ(store.state().focusTextRequest, before + 1);
    QTest::keyClick(remote.panel()->windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(remote.isShown());
    EXPECT_FALSE(store.state().textEntryVisible);

    QTest::keyClick(showActive(), Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_FALSE(remote.isShown()) << "closed first";
    EXPECT_EQ(settingsShown, 1);
    EXPECT_EQ(store.state().settingsTab, "general");
}

TEST_F(RemoteControllerTest, UpOnAConnectedTVSendsUp) {
    connectBedroom();
    QTest::keyClick(showActive(), Qt::Key_Up);
    idle();
    EXPECT_EQ(bridge.actions(), std::vector<std::string>{"up"});
}

TEST_F(RemoteControllerTest, CtrlQQuitsOnceAlsoFromTheTextField) {
    connectBedroom();
    QTest::keyClick(showActive(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return quits > 0; }, 1000));
    QCoreApplication::processEvents();
    EXPECT_EQ(quits, 1);
    QLineEdit* field = showTextField();
    ASSERT_NE(field, nullptr);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return quits == 2; }, 1000));
    EXPECT_EQ(field->text(), "") << "the key is the shortcut's, not a letter";
}

TEST_F(RemoteControllerTest, LosingTheKeyboardCloses) {
    showActive();
    QWidget other;
    other.show();
    other.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !remote.isShown(); }));
}

TEST_F(RemoteControllerTest, AClickBesideTheFieldHidesItOnceTheButtonIsUpUnlessAskedForAgain) {
    QWindow* window = showActive();
    QLineEdit* field = showTextField();
    ASSERT_TRUE(field && field->isVisible());
    auto* poll = remote.findChild<QTimer*>(QStringLiteral("textDismissal"));
    ASSERT_TRUE(poll);
    QTest::mouseClick(window, Qt::LeftButton, {},
                      field->mapTo(remote.panel(), field->rect().center()));
    EXPECT_FALSE(poll->isActive()) << "a click in the field dismisses nothing";
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_TRUE(poll->isActive());
    store.focusText();  // Ctrl+K before the button is up
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !poll->isActive(); }));
    EXPECT_TRUE(store.state().textEntryVisible);

    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_TRUE(store.state().textEntryVisible) << "kept while the button is down";
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !store.state().textEntryVisible; }));
    EXPECT_TRUE(remote.isShown());
}

}  // namespace
}  // namespace orvel::test

// The settings' controls, each calling its one session operation (the real bridge's pairing is
// the app's end-to-end tests).

#include "shell/SettingsView.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "../input/FakeHotKeyBackend.hpp"
#include "ShellSessionHarness.hpp"
#include "input/GlobalHotKey.hpp"
#include "shell/RemoteController.hpp"
#include "shell/SettingsWindow.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

template <typename Widget>
Widget* named(const QWidget& root, const QString& name) {
    for (auto* candidate : root.findChildren<Widget*>()) {
        if (candidate->accessibleName() == name && candidate->isVisibleTo(&root)) return candidate;
    }
    return nullptr;
}

struct SettingsViewTest : SessionTest {
    SettingsViewTest() : SessionTest({{"pairedDevices", savedList({kBedroom})}}) {
        store.start();
        idle();
        view = std::make_unique<SettingsView>(
            store,
            SettingsView::Actions{.showNotices = [this] { ++noticesShown; },
                                  .resize = [this] { ++resized; },
                                  .install = [] { return std::string("Installed at /x/orvel."); },
                                  .builtOn = "Built on Qt."},
            false);
        view->show();
    }
    void settle() {
        idle();
        QCoreApplication::processEvents();  // lays out what the state showed
    }
    void click(const QString& name) {
        auto* button = named<QAbstractButton>(*view, name);
        ASSERT_TRUE(button) << name.toStdString();
        // A check box takes clicks on its box and label only.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        settle();
    }

    int noticesShown = 0;
    int resized = 0;
    std::unique_ptr<SettingsView> view;
};

TEST_F(SettingsViewTest, EverySwitchSetsItsPreference) {
    const struct {
        const char* name;
        bool AppState::*field;
    } switches[] = {
        {"Open on the TV that's playing", &AppState::followPlaying},
        {"Show Orvel in the system tray", &AppState::showsMenuBarIcon},
        {"Show the TV in the desktop's media controls", &AppState::showsInMediaControls},
        {"Super + media keys control TV", &AppState::mediaKeys},
        {"Super + volume keys control TV", &AppState::commandVolume},
    };
    for (const auto& s : switches) {
        const bool before = h.state().*s.field;
        click(QString::fromUtf8(s.name));
        EXPECT_EQ(h.state().*s.field, !before) << s.name;
        EXPECT_EQ(named<QCheckBox>(*view, QString::fromUtf8(s.name))->isChecked(), !before);
    }
    click("Open at login");
    EXPECT_TRUE(h.login.status) << "the login item is the switch's store";
    EXPECT_TRUE(shownTexts(*view).contains(
        "Open the remote with Ctrl+Alt+Super+P, or by opening Orvel again."));
}

TEST_F(SettingsViewTest, ShortcutButtonRecordsKeysInTheWindowBecomeTheShortcutAndClosingEnds) {
    store.setShortcutError("Include Super, Ctrl, or Alt.");
    idle();
    click("Open remote: Ctrl+Alt+Super+P");
    EXPECT_TRUE(h.state().recordingShortcut);
    EXPECT_EQ(h.state().shortcutError, "");
    EXPECT_TRUE(named<QPushButton>(*view, "Open remote: Press shortcut…"));

    auto hotKey = GlobalHotKey::create(h.loop, std::make_unique<FakeHotKeyBackend>());
    SettingsWindow window(store, {});
    RemoteController remote(
        store, *h.defaults,
        {.showSettings = {},
         .recordShortcut =
             [&](std::uint32_t code, std::uint32_t modifiers, const std::string& characters) {
                 hotKey->record(store, {code, modifiers}, characters);
             },
         .settingsWindow = [&]() -> QWidget* { return &window; }});
    window.present();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(window.windowHandle(), Qt::Key_K, Qt::ShiftModifier);
    idle();
    EXPECT_EQ(h.state().shortcutError, "Include Super, Ctrl, or Alt.");
    QTest::keyClick(window.windowHandle(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    idle();
    EXPECT_FALSE(h.state().recordingShortcut);
    EXPECT_EQ(h.state().shortcutLabel, "Ctrl+Alt+K");
    store.setRecordingShortcut(true);
    idle();
    window.close();
    idle();
    EXPECT_FALSE(h.state().recordingShortcut) << "closing the window ends it";
    hotKey->stop();
}

TEST_F(SettingsViewTest, ErrorLineInstallNoteAboutAndStorageNotes) {
    h.connect(kBedroom, {{"error", "The TV did not answer."}});
    ASSERT_EQ(h.state().error, "The TV did not answer.");
    EXPECT_TRUE(shownTexts(*view).contains(QString::fromStdString(h.state().error)));
    click("Dismiss error");
    EXPECT_EQ(h.state().error, "");

    click("Command line: Install");
    EXPECT_TRUE(named<QPushButton>(*view, "Command line: Reinstall"));
    EXPECT_TRUE(shownTexts(*view).contains("Installed at /x/orvel."));

    resized = 0;
    click("About Orvel");
    EXPECT_GT(resized, 0) << "About grows the window";
    EXPECT_TRUE(shownTexts(*view).contains("Built on Qt."));
    click("Acknowledgements");
    EXPECT_EQ(noticesShown, 1);

    auto* storage = named<QLabel>(*view, "Storage");
    ASSERT_TRUE(storage);
    EXPECT_TRUE(storage->text().contains(QString::fromStdString(h.state().credentialStorage)));
    EXPECT_FALSE(h.state().credentialStorage.empty()) << "the opened store says where it keeps";
}

TEST(SettingsStorage, ACorruptSettingsFileIsSaidWithItsName) {
    SessionHarness h;
    ScratchDir::write(h.defaultsPath, "{ not json");
    auto& store = h.make();
    store.start();
    h.idle();
    SettingsView view(store, {}, false);
    auto* storage = named<QLabel>(view, "Storage");
    ASSERT_TRUE(storage);
    EXPECT_TRUE(storage->text().contains("defaults.json.corrupt")) << storage->text().toStdString();
}

TEST_F(SettingsViewTest, PairsANearbyTVWithItsCodesThenDisconnectsConnectsAndForgetsIt) {
    click("Pair New…");
    const char* notice = "Apple TVs are found only while the Avahi daemon runs.";
    ASSERT_TRUE(
        bridge.reply("scan", {{"devices", json::array({kLiving.stored()})}, {"notice", notice}}));
    settle();
    EXPECT_TRUE(shownTexts(*view).contains(notice));
    click("Pair Living Room");
    EXPECT_TRUE(shownTexts(*view).contains("Enter the code shown on Living Room"));
    // The bridge's step asks for a code; it is typed, sent, and the step's answer comes.
    const auto enterCode = [&](bool byReturn, const json& answer) {
        ASSERT_TRUE(bridge.reply("pairBegin"));
        settle();
        auto* field = named<QLineEdit>(*view, "4-digit code");
        ASSERT_TRUE(field && field->isEnabled());
        QTest::keyClicks(field, "123");
        settle();
        EXPECT_FALSE(named<QPushButton>(*view, "Pair")->isEnabled()) << "three characters";
        QTest::keyClicks(field, "4");
        settle();
        EXPECT_TRUE(named<QPushButton>(*view, "Pair")->isEnabled());
        if (byReturn) {
            QTest::keyClick(field, Qt::Key_Return);
        } else {
            click("Pair");
        }
        idle();
        ASSERT_TRUE(bridge.reply("pairFinish", answer));
        settle();
    };
    const char* wrong = "The code didn't match. Check the code on Living Room and try again.";
    enterCode(false, {{"error", wrong}});
    EXPECT_EQ(h.state().settingsTab, "tvs") << "a failed pairing keeps the list open";
    EXPECT_TRUE(shownTexts(*view).contains(wrong));
    click("Pair Living Room");
    enterCode(false, {{"protocol", "AirPlay"}, {"credentials", "c"}});
    enterCode(true, {{"protocol", "Companion"}, {"credentials", "c"}});
    ASSERT_TRUE(bridge.reply("connect"));
    settle();
    ASSERT_TRUE(h.state().connected && !h.state().pairingDevice) << h.state().error;
    EXPECT_EQ(h.state().settingsTab, "general") << "a paired TV closes the list";

    const auto choose = [&](const QString& title) {
        click("Options for Living Room");
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction* action : menu->actions()) {
            if (action->text() == title) action->trigger();
        }
        menu->close();
        settle();
    };
    choose("Disconnect");
    EXPECT_FALSE(h.state().connected);
    choose("Connect");
    ASSERT_TRUE(bridge.reply("connect"));
    settle();
    EXPECT_TRUE(h.state().connected);
    choose("Forget TV");
    EXPECT_EQ(h.state().savedDevices, std::vector<TVDevice>{kBedroom});
    EXPECT_FALSE(named<QAbstractButton>(*view, "Options for Living Room"));
}

}  // namespace
}  // namespace orvel::test

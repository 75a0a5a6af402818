// The settings' controls, each calling its one session operation: the switches set their
// preference, the shortcut button records, the error line dismisses, the storage notes show,
// and a TV is paired, connected and forgotten from the window against the real bridge serving
// the simulated household.

#include "shell/SettingsView.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "../input/FakeHotKeyBackend.hpp"
#include "../support/ScopedEnvironment.hpp"
#include "ShellSessionHarness.hpp"
#include "input/GlobalHotKey.hpp"
#include "session/BridgeClient.hpp"
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

QStringList shownTexts(const QWidget& root) {
    QStringList texts;
    for (auto* label : root.findChildren<QLabel*>()) {
        if (label->isVisibleTo(&root) && !label->text().isEmpty()) texts << label->text();
    }
    return texts;
}

struct SettingsViewTest : SessionTest {
    SettingsViewTest() : SessionTest({{"pairedDevices", savedList({kBedroom})}}) {
        store.start();
        idle();
        view = std::make_unique<SettingsView>(
            store,
            SettingsView::Actions{.requestAccess = [this] { ++accessAsked; },
                                  .showNotices = [this] { ++noticesShown; },
                                  .resize = [this] { ++resized; },
                                  .install = [] { return std::string("Installed at /x/orvel."); },
                                  .quit = {},
                                  .installNote = {},
                                  .builtOn = "Built on Qt."},
            false);
        view->show();
    }
    void click(const QString& name) {
        auto* button = named<QAbstractButton>(*view, name);
        ASSERT_TRUE(button) << name.toStdString();
        // A check box takes clicks on its box and label only.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        idle();
        QCoreApplication::processEvents();  // lays out what the click showed
    }

    int accessAsked = 0;
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

TEST_F(SettingsViewTest, ShortcutButtonRecordsAndTheWindowsCloseEndsIt) {
    store.setShortcutError("Include Super, Ctrl, or Alt.");
    idle();
    click("Open remote: Ctrl+Alt+Super+P");
    EXPECT_TRUE(h.state().recordingShortcut);
    EXPECT_EQ(h.state().shortcutError, "");
    EXPECT_TRUE(named<QPushButton>(*view, "Open remote: Press shortcut…"));

    SettingsWindow window(store, {});
    window.present();
    store.setRecordingShortcut(true);
    idle();
    window.close();
    idle();
    EXPECT_FALSE(h.state().recordingShortcut);
}

TEST_F(SettingsViewTest, KeysPressedInTheWindowWhileRecordingBecomeTheShortcut) {
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
    store.setRecordingShortcut(true);
    idle();
    QTest::keyClick(window.windowHandle(), Qt::Key_K, Qt::ShiftModifier);
    idle();
    EXPECT_EQ(h.state().shortcutError, "Include Super, Ctrl, or Alt.");
    QTest::keyClick(window.windowHandle(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    idle();
    EXPECT_FALSE(h.state().recordingShortcut);
    EXPECT_EQ(h.state().shortcutLabel, "Ctrl+Alt+K");
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

    click("About Orvel");
    EXPECT_TRUE(shownTexts(*view).contains("Built on Qt."));
    click("Acknowledgements");
    EXPECT_EQ(noticesShown, 1);
    EXPECT_GT(resized, 0) << "About grows the window";

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

#ifdef ORVEL_BRIDGE_DIR
// The window against the real bridge child and its simulated household.
class SettingsPairing : public ::testing::Test {
protected:
    SettingsPairing() {
        environment.set("HOME", h.dir.path());
        environment.set("XDG_CONFIG_HOME", h.dir / "config");
        environment.set("XDG_DATA_HOME", h.dir / "data");
        environment.set("ORVEL_SIMULATE", "1");
        store = &h.makeWith(std::make_unique<BridgeClient>(h.loop, [] {
            return BridgeLocation::Inputs{ORVEL_BRIDGE_DIR, {}, {}};
        }));
        store->start();
        view = std::make_unique<SettingsView>(*store, SettingsView::Actions{}, false);
        view->show();
    }
    ~SettingsPairing() override {
        view.reset();
        store->shutdown();
        h.loop.advance(5);  // the stopped child's teardown timers
    }
    bool until(const std::function<bool()>& done) {
        return h.loop.runUntil(
            [&] {
                QCoreApplication::processEvents();
                return done();
            },
            10.0);
    }
    bool clicked(const QString& name) {
        QAbstractButton* button = nullptr;
        if (!until([&] {
                return (button = named<QAbstractButton>(*view, name)) != nullptr &&
                       button->isEnabled();
            }))
            return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }
    void typePIN(const QString& pin) {
        auto* field = named<QLineEdit>(*view, "4-digit code");
        ASSERT_TRUE(until([&] { return field->isEnabled(); }));
        field->clear();
        QTest::keyClicks(field, pin);
    }
    // Chooses `title` in the menu of the saved TV `name`.
    bool chosen(const QString& name, const QString& title) {
        if (!clicked("Options for " + name)) return false;
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return false;
        for (QAction* action : menu->actions()) {
            if (action->text() == title) {
                action->trigger();
                menu->close();
                return true;
            }
        }
        return false;
    }

    ScopedEnvironment environment;
    SessionHarness h;
    AppStore* store = nullptr;
    std::unique_ptr<SettingsView> view;
};

TEST_F(SettingsPairing, PairsLivingRoomWithItsCodesThenConnectsAndForgets) {
    ASSERT_TRUE(clicked("Pair New…"));
    ASSERT_TRUE(clicked("Pair Living Room")) << "found by the scan";
    EXPECT_TRUE(
        until([&] { return shownTexts(*view).contains("Enter the code shown on Living Room"); }));
    typePIN("123");
    EXPECT_FALSE(named<QPushButton>(*view, "Pair")->isEnabled()) << "three characters";
    for (const char* protocol : {"AirPlay", "Companion"}) {
        ASSERT_TRUE(until([&] { return h.state().pairingProtocol == protocol; })) << protocol;
        typePIN("1234");
        if (std::string_view(protocol) == "AirPlay") {
            ASSERT_TRUE(clicked("Pair"));
        } else {
            QTest::keyClick(named<QLineEdit>(*view, "4-digit code"), Qt::Key_Return);
        }
    }
    ASSERT_TRUE(until([&] { return h.state().connected && !h.state().pairingDevice; }))
        << h.state().error;
    EXPECT_EQ(h.state().settingsTab, "general") << "a paired TV closes the list";
    ASSERT_EQ(h.state().savedDevices.size(), 1u);

    ASSERT_TRUE(chosen("Living Room", "Disconnect"));
    ASSERT_TRUE(until([&] { return !h.state().connected; }));
    ASSERT_TRUE(chosen("Living Room", "Connect"));
    ASSERT_TRUE(until([&] { return h.state().connected; }));
    ASSERT_TRUE(chosen("Living Room", "Forget TV"));
    ASSERT_TRUE(until([&] { return h.state().savedDevices.empty(); }));
    EXPECT_TRUE(until([&] { return shownTexts(*view).contains("No paired TVs"); }));
}
#endif

}  // namespace
}  // namespace orvel::test

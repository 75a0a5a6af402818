// The tray item against a fake watcher on a private session bus (with-private-bus.sh); skipped
// without it, so that no test reaches the user's desktop.

#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMenu>
#include <QPalette>
#include <QSignalSpy>

#include "FakeStatusNotifierWatcher.hpp"
#include "platform/ManualLoop.hpp"
#include "shell/OrvelMark.hpp"
#include "shell/TrayItem.hpp"

namespace orvel::test {
namespace {

const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

bool waitFor(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, 5000);
}

QPalette paletteWithWindow(const QColor& window) {
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    return palette;
}

class StatusNotifierItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        address_ = qEnvironmentVariable("ORVEL_PRIVATE_BUS");
        if (address_.isEmpty()) GTEST_SKIP() << "needs the private bus of with-private-bus.sh";
        QApplication::setPalette(paletteWithWindow(Qt::white));
        watcher_ = std::make_unique<FakeStatusNotifierWatcher>(address_);
        ASSERT_TRUE(watcher_->serving());
        item_ = TrayItem::create(
            {.demo = true, .busName = address_, .clock = [this] { return loop_.now(); }});
        ASSERT_TRUE(item_->available());
        ASSERT_TRUE(waitFor([&] { return !watcher_->registrations().isEmpty(); }));
        service_ = watcher_->registrations().front().service;
    }
    void TearDown() override { QApplication::setPalette(QPalette()); }

    // Blocking calls must keep our own loop turning: the item answers on this thread.
    QDBusMessage call(const QString& method, const QVariantList& args,
                      const QString& interface = kItemInterface) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(service_, kItemPath, interface, method);
        message.setArguments(args);
        return watcher_->bus().call(message, QDBus::BlockWithGui);
    }
    QVariant property(const QString& name) {
        const QDBusMessage reply = call(QStringLiteral("Get"), {kItemInterface, name},
                                        QStringLiteral("org.freedesktop.DBus.Properties"));
        if (reply.type() != QDBusMessage::ReplyMessage) return {};
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    ManualLoop loop_;
    QString address_;
    std::unique_ptr<FakeStatusNotifierWatcher> watcher_;
    std::unique_ptr<TrayItem> item_;
    QString service_;
};

TEST_F(StatusNotifierItemTest, RegistersUnderItsUniqueNameAndAgainWithARestartedWatcher) {
    EXPECT_TRUE(service_.startsWith(':'));
    EXPECT_EQ(service_, watcher_->registrations().front().sender);
    watcher_.reset();
    ASSERT_TRUE(waitFor([&] { return !item_->available(); }));
    watcher_ = std::make_unique<FakeStatusNotifierWatcher>(address_);
    ASSERT_TRUE(waitFor([&] { return !watcher_->registrations().isEmpty(); }));
    EXPECT_EQ(watcher_->registrations().front().service, service_);
    EXPECT_TRUE(item_->available());
}

TEST_F(StatusNotifierItemTest, ScrollGivesVolumeSteps) {
    struct Event {
        int delta;
        double after;  // seconds since the previous event
    };
    const struct {
        const char* name;
        const char* orientation;
        std::vector<Event> events;
        QList<int> steps;
    } cases[] = {
        {"a notch up raises a step", "vertical", {{120, 1}}, {1}},
        {"two notches down", "vertical", {{-240, 1}}, {-2}},
        {"orientation in any case", "Vertical", {{120, 1}}, {1}},
        {"horizontal scrolling", "horizontal", {{120, 1}}, {}},
        {"smooth pieces add up", "vertical", {{30, 1}, {30, 0.05}, {30, 0.05}, {30, 0.05}}, {1}},
        {"a pause drops the carried part", "vertical", {{60, 1}, {60, 0.31}}, {}},
    };
    for (const auto& c : cases) {
        QSignalSpy spy(item_.get(), &TrayItem::volumeSteps);
        for (const auto& event : c.events) {
            loop_.advance(event.after);
            call(QStringLiteral("Scroll"), {event.delta, QString::fromUtf8(c.orientation)});
        }
        QList<int> steps;
        for (const auto& args : spy) steps << args.at(0).toInt();
        EXPECT_EQ(steps, c.steps) << c.name;
    }
}

TEST_F(StatusNotifierItemTest, ActivateGivesThePointAndContextMenuOffersItsEntriesThere) {
    std::vector<std::optional<QPoint>> points;
    QObject::connect(item_.get(), &TrayItem::activated, [&](auto at) { points.push_back(at); });
    call(QStringLiteral("Activate"), {10, 20});
    EXPECT_EQ(points, std::vector<std::optional<QPoint>>{QPoint(10, 20)});

    call(QStringLiteral("ContextMenu"), {100, 200});
    ASSERT_TRUE(waitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->pos(), QPoint(100, 200));
    QSignalSpy open(item_.get(), &TrayItem::openRemoteRequested);
    QSignalSpy settings(item_.get(), &TrayItem::settingsRequested);
    QSignalSpy quit(item_.get(), &TrayItem::quitRequested);
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        texts << action->text();
        action->trigger();
    }
    menu->hide();
    EXPECT_EQ(texts, QStringList({"Open Remote", "Orvel Settings…", "Quit Orvel"}));
    EXPECT_EQ((QList<qsizetype>{open.count(), settings.count(), quit.count()}),
              (QList<qsizetype>{1, 1, 1}));
}

TEST_F(StatusNotifierItemTest, PropertiesReadOverTheBus) {
    const std::vector<std::pair<QString, QVariant>> plain = {
        {"Category", "ApplicationStatus"},
        {"Id", "quillon.orvel.Remote"},
        {"Title", "Orvel Remote"},
        {"IconName", ""},
        {"ItemIsMenu", false},
        {"WindowId", 0},
    };
    for (const auto& [name, value] : plain) EXPECT_EQ(property(name), value) << name.toStdString();

    const auto toolTip = property("ToolTip").value<QDBusArgument>();
    EXPECT_EQ(toolTip.currentSignature(), "(sa(iiay)ss)");
    QString iconName, title, description;
    toolTip.beginStructure();
    toolTip >> iconName;
    toolTip.beginArray();
    toolTip.endArray();
    toolTip >> title >> description;
    toolTip.endStructure();
    EXPECT_EQ(title, "Orvel Remote · Demo");

    EXPECT_EQ(property("Status").toString(), "Active");
    item_->setVisible(false);
    EXPECT_EQ(property("Status").toString(), "Passive");
    EXPECT_TRUE(waitFor([&] { return watcher_->statuses() == QStringList{"Passive"}; }));
}

// Every pixel as the wire carries it: alpha, red, green, blue, whatever the host's byte order.
QByteArray bigEndianArgb(const QImage& image) {
    QByteArray bytes;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            for (const int part : {qAlpha(p), qRed(p), qGreen(p), qBlue(p)})
                bytes.append(char(part));
        }
    }
    return bytes;
}

void expectIcons(const QVariant& value, bool darkPanel) {
    const auto pixmaps = value.value<QDBusArgument>();
    ASSERT_EQ(pixmaps.currentSignature(), "a(iiay)");
    QList<int> sizes;
    pixmaps.beginArray();
    while (!pixmaps.atEnd()) {
        int width = 0, height = 0;
        QByteArray bytes;
        pixmaps.beginStructure();
        pixmaps >> width >> height >> bytes;
        pixmaps.endStructure();
        sizes << width;
        EXPECT_EQ(height, width);
        EXPECT_EQ(bytes, bigEndianArgb(OrvelMark::trayImage(width, darkPanel))) << width;
    }
    pixmaps.endArray();
    EXPECT_EQ(sizes, QList<int>({16, 22, 24, 32, 48}));
}

TEST_F(StatusNotifierItemTest, IconPixmapIsBigEndianArgbInThePanelsShade) {
    expectIcons(property("IconPixmap"), false);
    QApplication::setPalette(paletteWithWindow(Qt::black));
    ASSERT_TRUE(waitFor([&] { return watcher_->newIcons() == 1; }));
    expectIcons(property("IconPixmap"), true);
}

TEST(StatusNotifierItemFallback, WithoutWatcherNorTrayNothingIsAvailable) {
    const QString address = qEnvironmentVariable("ORVEL_PRIVATE_BUS");
    if (address.isEmpty()) GTEST_SKIP() << "needs the private bus of with-private-bus.sh";
    const auto item = TrayItem::create({.busName = address});
    EXPECT_FALSE(item->available()) << "the offscreen platform has no system tray";
}

}  // namespace
}  // namespace orvel::test

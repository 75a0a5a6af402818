#include "shell/TrayItem.hpp"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <atomic>

#include "shell/OrvelMark.hpp"
#include "shell/StatusNotifierItem.hpp"
#include "shell/SystemTrayFallback.hpp"

namespace orvel {
namespace {

constexpr int kIconSizes[] = {16, 22, 24, 32, 48};

// A connection of the item's own: its unique name leaves the bus with the item.
QDBusConnection openConnection(const TrayItem::Options& options) {
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("orvel-tray-%1").arg(++counter);
    return options.busName ? QDBusConnection::connectToBus(*options.busName, name)
                           : QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

}  // namespace

// By value as the contract has it; the backends only read it.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
std::unique_ptr<TrayItem> TrayItem::create(Options options) {
    QDBusConnection bus = openConnection(options);
    if (bus.isConnected() &&
        bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        if (auto item = StatusNotifierItem::start(bus.name(), options)) return item;
    }
    QDBusConnection::disconnectFromBus(bus.name());
    return std::make_unique<SystemTrayFallback>(options);
}

TrayItem::TrayItem() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

bool TrayItem::panelIsDark() {
    constexpr int kMidLightness = 128;
    return QGuiApplication::palette().color(QPalette::Window).lightness() < kMidLightness;
}

QList<QImage> TrayItem::renderIcons(bool darkPanel) {
    QList<QImage> icons;
    for (int size : kIconSizes) icons.append(OrvelMark::trayImage(size, darkPanel));
    return icons;
}

bool TrayItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() &&
        event->type() == QEvent::ApplicationPaletteChange) {
        paletteChanged();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace orvel

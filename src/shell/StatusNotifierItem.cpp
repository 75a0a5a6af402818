#include "shell/StatusNotifierItem.hpp"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QMenu>

#include "platform/Uptime.hpp"
#include "shell/StatusNotifierItemAdaptor.hpp"
#include "shell/TrayMenu.hpp"

namespace orvel {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");

}  // namespace

std::unique_ptr<StatusNotifierItem> StatusNotifierItem::start(const QString& connectionName,
                                                              const Options& options) {
    // Not make_unique: the constructor is private, and only start() may leave an item unserved.
    std::unique_ptr<StatusNotifierItem> item(
        new StatusNotifierItem(QDBusConnection(connectionName), options));
    if (!item->connection_.registerObject(kItemPath, item.get(), QDBusConnection::ExportAdaptors)) {
        return nullptr;
    }
    item->registerWithWatcher();
    return item;
}

StatusNotifierItem::StatusNotifierItem(QDBusConnection connection, const Options& options)
    : connection_(std::move(connection)),
      demo_(options.demo),
      clock_(options.clock ? options.clock : Uptime::now),
      dark_(panelIsDark()),
      icons_(renderIcons(dark_)),
      menu_(TrayMenu::create(*this)) {
    new StatusNotifierItemAdaptor(this);
    watcher_ = new QDBusServiceWatcher(kWatcherService, connection_,
                                       QDBusServiceWatcher::WatchForOwnerChange, this);
    // A restarted watcher (a new panel, a desktop restart) knows nothing of us.
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                watched_ = !owner.isEmpty();
                if (watched_) registerWithWatcher();
            });
}

StatusNotifierItem::~StatusNotifierItem() {
    const QString name = connection_.name();
    connection_.unregisterObject(kItemPath);
    connection_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name);
}

void StatusNotifierItem::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Q_EMIT statusChanged();
}

QString StatusNotifierItem::toolTip() const {
    return demo_ ? QStringLiteral("Orvel Remote · Demo") : QStringLiteral("Orvel Remote");
}

QString StatusNotifierItem::status() const {
    return visible_ ? QStringLiteral("Active") : QStringLiteral("Passive");
}

void StatusNotifierItem::activate(QPoint at) {
    Q_EMIT activated(at);
}

void StatusNotifierItem::showMenu(QPoint at) {
    menu_->popup(at);
}

void StatusNotifierItem::scroll(int delta, const QString& orientation) {
    if (orientation.compare(QLatin1String("vertical"), Qt::CaseInsensitive) != 0) return;
    // Hosts send wheel notches as multiples of 120 and smooth scrolling in smaller pieces; 120
    // units make one step either way, so the pieces count as fractions of a notch (a precise
    // delta scaled to match would give the same steps).
    const int steps = scroll_.steps(double(delta) / kNotch, false, false, clock_());
    if (steps != 0) Q_EMIT volumeSteps(steps);
}

void StatusNotifierItem::registerWithWatcher() {
    watched_ = connection_.interface()->isServiceRegistered(kWatcherService);
    if (!watched_) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"), kWatcherService,
        QStringLiteral("RegisterStatusNotifierItem"));
    call << connection_.baseService();
    // No answer is awaited: a refusal leaves nothing for us to do until the next watcher.
    connection_.send(call);
}

void StatusNotifierItem::paletteChanged() {
    if (panelIsDark() == dark_) return;
    dark_ = !dark_;
    icons_ = renderIcons(dark_);
    Q_EMIT iconChanged();
}

}  // namespace orvel

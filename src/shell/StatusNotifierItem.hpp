#pragma once
// StatusNotifierItem: the tray icon as our own item on the session bus, on a connection of its
// own (so its unique name, and with it the item, goes when it does), served at
// /StatusNotifierItem and registered with the desktop's StatusNotifierWatcher under that unique
// name, again whenever the watcher gets a new owner. The bus-facing half is
// StatusNotifierItemAdaptor; this half holds the state and the decisions in shell types.
//
//   auto item = StatusNotifierItem::start(connectionName, options);   // null: path taken
//   QObject::connect(item.get(), &TrayItem::volumeSteps, store, ...);
//
// Owner: TrayItem::create's caller. Thread: the GUI thread. Destruction unregisters the object
// and closes the connection, which takes the item off every tray.

#include <QDBusConnection>
#include <QString>
#include <memory>

#include "core/VolumeScroll.hpp"
#include "shell/TrayItem.hpp"

class QDBusServiceWatcher;
class QMenu;

namespace orvel {

class StatusNotifierItem final : public TrayItem {
    Q_OBJECT
public:
    static constexpr int kNotch = 120;  // scroll units of one wheel notch

    // Serves on the open connection named `connectionName`, which it then owns; null (and the
    // connection closed) when another object holds the path.
    static std::unique_ptr<StatusNotifierItem> start(const QString& connectionName,
                                                     const Options& options);
    ~StatusNotifierItem() override;
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    bool available() const override { return watched_; }
    // The protocol has no highlight; hosts show their own pressed state.
    void setHighlighted(bool) override {}

    // What the adaptor serves.
    QString toolTip() const;
    QString status() const;
    // Cached; rendered again only when the panel's shade may have changed.
    const QList<QImage>& icons() const { return icons_; }

    // What the host asks for (points in screen coordinates).
    void activate(QPoint at);
    void showMenu(QPoint at);
    void scroll(int delta, const QString& orientation);

Q_SIGNALS:
    void iconChanged();
    void statusChanged();

private:
    StatusNotifierItem(QDBusConnection connection, const Options& options);
    void registerWithWatcher();
    void paletteChanged() override;

    QDBusConnection connection_;
    bool demo_;
    std::function<double()> clock_;
    bool visible_ = true;
    bool watched_ = false;
    VolumeScroll scroll_;
    bool dark_;
    QList<QImage> icons_;
    std::unique_ptr<QMenu> menu_;
    QDBusServiceWatcher* watcher_ = nullptr;  // a child: goes with us
};

}  // namespace orvel

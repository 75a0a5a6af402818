#pragma once
// TrayItem: the application's icon in the desktop's system tray. Our own StatusNotifierItem on
// the session bus where a watcher answers (registered again whenever the watcher restarts),
// else QSystemTrayIcon (no scrolling, no click position); none where the desktop has no tray.
// It turns the host's scrolling into volume steps (VolumeScroll) and offers the context menu
// "Open Remote", "Orvel Settings…", "Quit Orvel".
//
//   auto tray = TrayItem::create({.demo = store.demo()});
//   QObject::connect(tray.get(), &TrayItem::activated, [&](auto at) { remote.toggle(at); });
//
// Owner: the application. Thread: the GUI thread. Ends with destruction, which takes the item
// off the tray.

#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <functional>
#include <memory>
#include <optional>

namespace orvel {

class TrayItem : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool demo = false;  // tool tip "Orvel Remote · Demo"
        // The session bus to register on, as an address (DBUS_SESSION_BUS_ADDRESS's form);
        // tests give a private one. None: the user's session bus.
        std::optional<QString> busName = std::nullopt;
        // Seconds on a monotonic clock, for the pauses between scroll events; none: uptime.
        std::function<double()> clock = nullptr;
    };

    static std::unique_ptr<TrayItem> create(Options options);
    ~TrayItem() override = default;

    // The preference "Show Orvel in the system tray".
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    // False where no tray shows the item (no watcher and no fallback tray).
    virtual bool available() const = 0;
    // The remote is open: the item may show it (hosts that highlight).
    virtual void setHighlighted(bool highlighted) = 0;

Q_SIGNALS:
    // A click on the icon, with the point the host gave (none from the fallback tray).
    void activated(std::optional<QPoint> at);
    // Whole volume steps from scrolling over the icon; positive raises.
    void volumeSteps(int steps);
    void openRemoteRequested();
    void settingsRequested();
    void quitRequested();

protected:
    TrayItem();
    // Hosts draw our pixmaps as they are; the desktop's palette is the best guess of the
    // panel's shade.
    static bool panelIsDark();
    // The icon at every size a tray asks for.
    static QList<QImage> renderIcons(bool darkPanel);
    // The desktop's palette changed: the panel's shade may have too.
    virtual void paletteChanged() = 0;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace orvel

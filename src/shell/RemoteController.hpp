#pragma once
// RemoteController: when the remote panel is shown and hidden, and where. Showing moves the
// session to the TV that plays (followPlayback), builds a new RemoteView in a new RemotePanel,
// places it under the tray's anchor (or the remembered "menuBarAnchorOffset" when the tray
// cannot tell), takes the keyboard and watches for the close triggers: Escape, a click outside
// the panel, the panel losing the focus, the settings opening. Hiding ends text entry. It also
// installs the remote's keyboard and scroll handling (RemoteInput) on the application.
//
//   RemoteController remote(*store, defaults, {.showSettings = [&] { settings.show(); }});
//   remote.toggle(trayPoint);          // the tray's click or the shortcut (no point)
//
// Owner: the application. Thread: the GUI thread. The store and the defaults outlive it.

#include <QObject>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace orvel {

class AppStore;
class Defaults;
class RemotePanel;

class RemoteController : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> showSettings;
        // A key pressed while the settings record a shortcut (virtual key code, Carbon mask);
        // empty: nothing records.
        std::function<void(std::uint32_t code, std::uint32_t modifiers)> recordShortcut = {};
    };

    RemoteController(AppStore& store, Defaults& defaults, Hooks hooks);
    ~RemoteController() override;

    // Closes a shown remote, else shows it at `anchor` (a point on the tray, in screen
    // coordinates) or, without one, where the tray was last seen.
    void toggle(std::optional<QPoint> anchor);
    void show(std::optional<QPoint> anchor);
    void close();
    bool isShown() const;
    // The panel of the current showing (null before the first); kept after hiding until the next.
    RemotePanel* panel() const;

Q_SIGNALS:
    void shownChanged(bool shown);
};

}  // namespace orvel

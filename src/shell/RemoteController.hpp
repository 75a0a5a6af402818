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
#include <QRect>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "shell/RemoteView.hpp"

class QScreen;
class QWidget;

namespace orvel {

class AppStore;
class Defaults;
class RemotePanel;

class RemoteController : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> showSettings;
        // A key pressed while the settings record a shortcut (virtual key code, Carbon mask,
        // what the key types without modifiers); empty: nothing records.
        std::function<void(std::uint32_t code, std::uint32_t modifiers,
                           const std::string& characters)>
            recordShortcut = {};
        // The settings window, or null while there is none: only its keys are recorded.
        std::function<QWidget*()> settingsWindow = {};
        // "Quit Orvel" (Ctrl+Q) in the remote, called from the loop, not from the key's event;
        // empty: the remote offers no quitting.
        std::function<void()> quit = {};
        // Fetches the bytes of an app icon for the remote (see RemoteView::Actions::appIcon).
        decltype(RemoteView::Actions::appIcon) appIcon = {};
    };

    // The tray's last seen place: its centre's distance from its screen's left edge.
    static constexpr const char* kAnchorOffsetKey = "menuBarAnchorOffset";
    // How often a pending text dismissal looks whether the mouse button is up.
    static constexpr int kTextDismissPollMs = 50;

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

protected:
    // Key presses, mouse presses and scrolling anywhere in the application, each seen once at
    // its window before any widget: the remote's keys, shortcut recording, outside clicks.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The anchor rectangle for a tray point, or the remembered place, and its screen.
    struct Anchor {
        QRect rect;
        const QScreen* screen;
    };
    std::optional<Anchor> anchorFor(std::optional<QPoint> point);
    bool editingText() const;
    void openSettings();
    // Ctrl+Q on the new panel, when the hooks can quit.
    void addQuitAction();
    void fitSoon();
    void onPanelDeactivated();
    void onPanelClick(QPoint globalPosition);
    void dismissTextAfterClick();
    void cancelTextDismissal();
    void pollTextDismissal();

    AppStore& store_;
    Defaults& defaults_;
    Hooks hooks_;
    RemoteView::AppLists knownApps_;  // before the panel: its view uses them to its end
    std::unique_ptr<RemotePanel> panel_;
    bool shown_ = false;
    std::optional<double> lastScroll_;         // none: the first scroll always moves
    std::optional<int> pendingTextDismissal_;  // focusTextRequest at the click
    QTimer textDismissTimer_{this};            // a child, so tests can tell when it stopped
};

}  // namespace orvel

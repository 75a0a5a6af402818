#pragma once
// SystemTrayFallback: the tray icon through QSystemTrayIcon, for desktops where no
// StatusNotifierWatcher answers. It cannot tell where the click was and gets no scrolling, so
// it announces clicks without a point and never gives volume steps. Where the desktop has no
// tray at all it shows nothing and says so (available() false).
//
//   auto tray = std::make_unique<SystemTrayFallback>(options);
//   if (!tray->available()) ...   // the shortcut and `orvel open` still reach the remote
//
// Owner: TrayItem::create's caller. Thread: the GUI thread. Destruction removes the icon.

#include <QSystemTrayIcon>
#include <memory>

#include "shell/TrayItem.hpp"

class QMenu;

namespace orvel {

class SystemTrayFallback final : public TrayItem {
    Q_OBJECT
public:
    explicit SystemTrayFallback(const Options& options);
    ~SystemTrayFallback() override;
    SystemTrayFallback(const SystemTrayFallback&) = delete;
    SystemTrayFallback& operator=(const SystemTrayFallback&) = delete;

    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    bool available() const override;
    // QSystemTrayIcon draws no highlight.
    void setHighlighted(bool) override {}

private:
    void paletteChanged() override;
    void showIcon(bool dark);

    bool visible_ = true;
    bool dark_;
    std::unique_ptr<QMenu> menu_;  // before the icon, which refers to it
    QSystemTrayIcon icon_;
};

}  // namespace orvel

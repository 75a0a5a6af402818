#include "shell/SystemTrayFallback.hpp"

#include <QIcon>
#include <QMenu>
#include <QPixmap>

#include "shell/TrayMenu.hpp"

namespace orvel {

SystemTrayFallback::SystemTrayFallback(const Options& options)
    : dark_(panelIsDark()), menu_(TrayMenu::create(*this)) {
    icon_.setToolTip(options.demo ? QStringLiteral("Orvel Remote · Demo")
                                  : QStringLiteral("Orvel Remote"));
    icon_.setContextMenu(menu_.get());
    showIcon(dark_);
    connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::MiddleClick) {
            Q_EMIT activated(std::nullopt);
        }
    });
    if (available()) icon_.show();
}

SystemTrayFallback::~SystemTrayFallback() {
    icon_.hide();
}

void SystemTrayFallback::setVisible(bool visible) {
    visible_ = visible;
    if (available()) icon_.setVisible(visible);
}

bool SystemTrayFallback::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayFallback::paletteChanged() {
    if (panelIsDark() == dark_) return;
    dark_ = !dark_;
    showIcon(dark_);
}

void SystemTrayFallback::showIcon(bool dark) {
    QIcon icon;
    for (const QImage& image : renderIcons(dark)) icon.addPixmap(QPixmap::fromImage(image));
    icon_.setIcon(icon);
}

}  // namespace orvel

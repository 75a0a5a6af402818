#include "shell/TrayMenu.hpp"

#include "shell/TrayItem.hpp"

namespace orvel::TrayMenu {

std::unique_ptr<QMenu> create(TrayItem& item) {
    auto menu = std::make_unique<QMenu>();
    // The item owns the menu, so the actions never outlive it.
    QObject::connect(menu->addAction(QStringLiteral("Open Remote")), &QAction::triggered, &item,
                     [&item] { Q_EMIT item.openRemoteRequested(); });
    QObject::connect(menu->addAction(QStringLiteral("Orvel Settings…")), &QAction::triggered, &item,
                     [&item] { Q_EMIT item.settingsRequested(); });
    menu->addSeparator();
    QObject::connect(menu->addAction(QStringLiteral("Quit Orvel")), &QAction::triggered, &item,
                     [&item] { Q_EMIT item.quitRequested(); });
    return menu;
}

}  // namespace orvel::TrayMenu

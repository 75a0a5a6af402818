#pragma once
// TrayMenu: the tray icon's context menu, "Open Remote", "Orvel Settings…", "Quit Orvel", each
// entry announced through the item's own request signal. Both tray backends show this one.
//
//   auto menu = TrayMenu::create(*this);
//   menu->popup(at);
//
// Owner: the tray item that asked for it. Thread: the GUI thread. The item outlives the menu.

#include <QMenu>
#include <memory>

namespace orvel {
class TrayItem;
}

namespace orvel::TrayMenu {

std::unique_ptr<QMenu> create(TrayItem& item);

}  // namespace orvel::TrayMenu

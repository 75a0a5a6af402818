#include "shell/RemoteView.hpp"

// RemoteView's menus: the TV picker, power, and the apps with their icons as they arrive.

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QVBoxLayout>
#include <utility>

#include "core/TVSummary.hpp"
#include "session/AppStore.hpp"
#include "shell/AppMenu.hpp"
#include "shell/RemoteButton.hpp"
#include "shell/RemoteTextEntry.hpp"
#include "shell/Symbols.hpp"
#include "shell/WidgetText.hpp"
namespace orvel {

void RemoteView::showPickerMenu() {
    pickerMenu_->popup(picker_->mapToGlobal(picker_->rect().bottomLeft()));
}

void RemoteView::showPowerMenu(const QPoint& at) {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("powerMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const auto& entry : model_.power.menu) {
        QAction* choice = menu->addAction(words(entry.title));
        choice->setEnabled(entry.enabled);
        connect(choice, &QAction::triggered, this,
                [this, action = entry.action] { store_.send(action); });
    }
    menu->popup(power_->mapToGlobal(at));
}

void RemoteView::showAppsMenu() {
    const AppState& state = store_.state();
    const TVDevice* device = state.savedDevice(state.selectedID);
    if (!device) return;
    menuTV_ = device->id;
    KnownApps& known = apps_[menuTV_];
    // Each opening refreshes the list in the background; the known one shows meanwhile.
    if (!known.loading) {
        known.loading = true;
        appsAsked_.insert(menuTV_);
        const std::uint64_t generation = ++known.generation;
        QPointer<RemoteView> view(this);
        // The completion may run at once (no helper): the menu is filled after it.
        store_.apps(*device,
                    [view, tv = menuTV_, generation](std::optional<std::vector<NamedEntry>> apps,
                                                     const std::string& error) {
                        if (view) view->appsArrived(tv, generation, std::move(apps), error);
                    });
    }
    fillAppsMenu();
    appsMenu_->popup(appsRow_->mapToGlobal(appsRow_->rect().bottomLeft()));
}

void RemoteView::appsArrived(const std::string& tv, std::uint64_t generation,
                             std::optional<std::vector<NamedEntry>> apps,
                             const std::string& error) {
    KnownApps& known = apps_[tv];
    if (generation != known.generation) return;
    appsAsked_.erase(tv);
    known.loading = false;
    const std::string failure = apps ? std::string() : error;
    // The same apps again leave an open menu as it is, under the pointer. An empty list reads
    // "Loading apps…" while asked for, so its answer always redraws.
    const bool same = known.list && !known.list->empty() && apps && *known.list == *apps &&
                      known.error == failure;
    known.error = failure;
    if (apps) known.list = std::move(apps);
    if (tv == menuTV_ && !same) fillAppsMenu();
}

void RemoteView::fillAppsMenu() {
    appsMenu_->clear();
    const AppState& state = store_.state();
    const auto status = state.statuses.find(menuTV_);
    const std::string current = status != state.statuses.end() ? status->second.appID : "";
    const KnownApps& known = apps_[menuTV_];
    for (const auto& entry : AppMenu::entries(known.list, known.loading, known.error, current)) {
        QAction* choice = appsMenu_->addAction(words(entry.title));
        choice->setEnabled(entry.enabled);
        if (entry.checked) {
            choice->setCheckable(true);
            choice->setChecked(true);
        }
        if (entry.id.empty()) continue;
        if (status != state.statuses.end()) {
            if (auto url = TVSummary::appIconUrl(menuTV_, status->second.address, entry.id)) {
                choice->setData(words(*url));
                choice->setIcon(appIcon(*url));
            }
        }
        connect(choice, &QAction::triggered, this, [this, id = entry.id, tv = menuTV_] {
            // The menu may have outlived the choice of its TV.
            if (store_.state().selectedID != tv) return;
            store_.send(RemoteAction::launchApp, {.app = id});
        });
    }
}

QIcon RemoteView::appIcon(const std::string& url) {
    if (auto known = icons_.find(url); known != icons_.end()) return known->second;
    if (actions_.appIcon && iconsAsked_.insert(url).second) {
        QPointer<RemoteView> view(this);
        actions_.appIcon(url, [view, url](const std::string& bytes) {
            if (view) view->iconArrived(url, bytes);
        });
    }
    return {};
}

void RemoteView::iconArrived(const std::string& url, const std::string& bytes) {
    QPixmap image;
    if (bytes.empty() || !image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                             static_cast<uint>(bytes.size()))) {
        return;
    }
    const QIcon icon(image);
    icons_[url] = icon;
    // In place, so an open menu keeps its highlighted entry.
    const QString address = words(url);
    for (QAction* choice : appsMenu_->actions()) {
        if (choice->data().toString() == address) choice->setIcon(icon);
    }
}

}  // namespace orvel

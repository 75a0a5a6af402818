#include "shell/SettingsView.hpp"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

#include "session/AppStore.hpp"
#include "shell/SettingsWidgets.hpp"
#include "shell/Symbols.hpp"
#include "shell/WidgetText.hpp"

namespace orvel {

namespace {

using namespace SettingsWidgets;

}  // namespace

SettingsView::SettingsView(AppStore& store, Actions actions, bool aboutExpanded, QWidget* parent)
    : QWidget(parent),
      store_(store),
      actions_(std::move(actions)),
      aboutExpanded_(aboutExpanded),
      installNote_(actions_.installNote) {
    setFixedWidth(kWidth);
    build();
    refresh();
    restyle();
    // `this` owns the subscription, which ends before the view does.
    subscription_ = store_.observe([this] { refresh(); });
}

SettingsView::~SettingsView() = default;

void SettingsView::install() {
    if (actions_.install) installNote_ = actions_.install();
    refresh();
}

void SettingsView::refresh() {
    if (refreshing_) return;
    refreshing_ = true;
    const AppState& state = store_.state();
    const bool ended = SettingsModel::pairingEnded(seen_, state);
    seen_ = state;
    const QSize before = sizeHint();
    model_ = SettingsModel::make(state, {.demo = store_.demo(),
                                         .aboutExpanded = aboutExpanded_,
                                         .installNote = installNote_,
                                         .accessStep = actions_.accessStep});
    const SettingsModel& m = model_;

    tvsButton_->setText(words(m.tvsButton));
    setHelp(tvsButton_, words(m.tvsButton));
    noSaved_->setVisible(m.saved.empty());
    fillSaved();

    pairing_->setVisible(m.pairing.has_value());
    if (m.pairing) {
        pairingPrompt_->setText(words(m.pairing->prompt));
        if (pin_->text().toStdString() != m.pairing->pin) pin_->setText(words(m.pairing->pin));
        pin_->setEnabled(!m.pairing->busy);
        pairingBusy_->setVisible(m.pairing->busy);
        pair_->setEnabled(m.pairing->canPair);
    }

    nearby_->setVisible(m.nearbyShown);
    nearbyHeading_->setText(words(m.nearbyHeading));
    scanningBar_->setVisible(m.scanning);
    refresh_->setEnabled(!m.scanning);
    noNearby_->setVisible(m.nearbyEmpty);
    nearbyNotice_->setText(QString::fromStdString(m.nearbyNotice));
    nearbyNotice_->setVisible(!m.nearbyNotice.empty());
    fillNearby();

    login_->setChecked(m.launchAtLogin);
    follow_->setChecked(m.followPlaying);
    tray_->setChecked(m.showsTray);
    trayHint_->setText(words(m.trayHint));
    trayHint_->setVisible(!m.trayHint.empty());
    mediaControls_->setChecked(m.mediaControls);
    mediaKeys_->setChecked(m.mediaKeys);
    commandVolume_->setChecked(m.commandVolume);
    accessButton_->setText(words(m.access.button));
    setHelp(accessButton_, words(m.access.button));
    accessButton_->setVisible(!m.access.button.empty());
    accessText_->setVisible(!m.access.text.empty());
    shortcutError_->setText(words(m.shortcutError));
    shortcutError_->setVisible(!m.shortcutError.empty());
    shortcut_->setText(words(m.shortcutButton));
    shortcut_->setMinimumWidth(shortcut_->fontMetrics().horizontalAdvance(shortcut_->text()) + 24);
    setHelp(shortcut_, QStringLiteral("Open remote: ") + words(m.shortcutButton));
    install_->setText(words(m.installButton));
    setHelp(install_, QStringLiteral("Command line: ") + words(m.installButton));
    installNoteLabel_->setText(words(m.installNote));
    QStringList storage;
    for (const std::string& sentence : m.storage) storage << words(sentence);
    storage_->setText(storage.join(QLatin1Char('\n')));
    storage_->setVisible(!storage.isEmpty());

    errorLine_->setVisible(!m.error.empty());
    errorText_->setText(words(m.error));

    about_->setText(words(m.aboutButton));
    setHelp(about_, words(m.aboutButton));
    aboutSection_->setVisible(m.aboutShown);
    aboutTitle_->setText(words(m.aboutTitle));
    refreshing_ = false;

    // Brings the nested rows' cached sizes up to date with what was just shown or hidden.
    layout()->activate();
    if (sizeHint() != before && actions_.resize) actions_.resize();
    if (ended) store_.setSettingsTab("general");
}

void SettingsView::fillSaved() {
    savedScroll_->setVisible(!model_.saved.empty());
    savedScroll_->setFixedHeight(model_.savedScrolls
                                     ? kSettingsRow * 5 / 2
                                     : kSettingsRow * static_cast<int>(model_.saved.size()));
    const bool enabled = model_.menusEnabled;
    for (auto* button : savedList_->findChildren<QToolButton*>()) button->setEnabled(enabled);
    if (model_.saved == savedShown_) return;
    savedShown_ = model_.saved;
    // Later: the store publishes synchronously, so a row's own button may still be inside its
    // clicked handler.
    for (QWidget* old : savedList_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        old->hide();
        old->deleteLater();
    }
    auto* list = static_cast<QVBoxLayout*>(savedList_->layout());
    for (const auto& saved : savedShown_) {
        auto* line = new QWidget(savedList_);
        line->setFixedHeight(kSettingsRow);
        auto* layout = row(line);
        auto* dot = new QLabel(line);
        dot->setPixmap(dotPixmap(saved.dot, palette()));
        dot->setFixedSize(8, 8);
        layout->addWidget(dot);
        auto* name = label({}, line);
        name->setText(
            name->fontMetrics().elidedText(words(saved.name), Qt::ElideRight, kSettingsNameWidth));
        name->setToolTip(words(saved.name));
        layout->addWidget(name);
        if (saved.playing) {
            auto* symbol = new QLabel(line);
            symbol->setPixmap(
                Symbols::pixmap("play.fill", palette().color(QPalette::WindowText), 10));
            layout->addWidget(symbol);
            auto* title = label({}, line);
            title->setText(
                title->fontMetrics().elidedText(words(*saved.playing), Qt::ElideRight, 90));
            setSmall(title);
            layout->addWidget(title);
        }
        layout->addStretch(1);
        auto* options = new QToolButton(line);
        options->setAutoRaise(true);
        options->setIcon(Symbols::icon("ellipsis", palette().color(QPalette::ButtonText), 14));
        setHelp(options, words(saved.menuLabel));
        options->setEnabled(enabled);
        const std::string id = saved.id;
        connect(options, &QToolButton::clicked, this, [this, id, options] {
            const auto tv = deviceIn(store_.state().savedDevices, id);
            if (!tv) return;
            auto* menu = new QMenu(this);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            const bool disconnects = store_.state().selectedID == id && store_.state().connected;
            menu->addAction(disconnects ? QStringLiteral("Disconnect") : QStringLiteral("Connect"),
                            this, [this, tv, disconnects] {
                                if (disconnects) {
                                    store_.disconnect();
                                } else {
                                    store_.connect(*tv);
                                }
                            });
            menu->addSeparator();
            menu->addAction(QStringLiteral("Forget TV"), this, [this, tv] { store_.forget(*tv); });
            menu->popup(options->mapToGlobal(QPoint(0, options->height())));
        });
        layout->addWidget(options);
        list->addWidget(line);
    }
}

void SettingsView::fillNearby() {
    if (model_.nearby == nearbyShown_) return;
    nearbyShown_ = model_.nearby;
    // Later, as the saved rows: the clicked "Pair" button may be among them.
    for (QWidget* old : nearbyList_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        old->hide();
        old->deleteLater();
    }
    auto* list = static_cast<QVBoxLayout*>(nearbyList_->layout());
    for (const auto& found : nearbyShown_) {
        auto* line = new QWidget(nearbyList_);
        line->setFixedHeight(kSettingsRow);
        auto* layout = row(line);
        auto* name = label({}, line);
        name->setText(
            name->fontMetrics().elidedText(words(found.name), Qt::ElideRight, kSettingsNameWidth));
        layout->addWidget(name);
        auto* kind = label(words(found.kind), line);
        setSmall(kind);
        setColour(kind, faded(palette().color(QPalette::WindowText), kSecondaryText));
        layout->addWidget(kind);
        layout->addStretch(1);
        auto* pair = pushButton(QStringLiteral("Pair"), line);
        setHelp(pair, QStringLiteral("Pair ") + words(found.name));
        const std::string id = found.id;
        connect(pair, &QPushButton::clicked, this, [this, id] {
            if (const auto tv = deviceIn(store_.state().devices, id)) store_.pair(*tv);
        });
        layout->addWidget(pair);
        list->addWidget(line);
    }
}

void SettingsView::restyle() {
    const QColor text = palette().color(QPalette::WindowText);
    for (QLabel* secondary : {noSaved_, noNearby_, trayHint_, installNoteLabel_, storage_})
        setColour(secondary, faded(text, kSecondaryText));
    setColour(shortcutError_, kOrange);
    for (auto* button : findChildren<QPushButton*>()) {
        if (button->property("link").toBool()) setLinkColour(button, palette());
    }
    setColour(accessText_, kOrange);
    if (auto* dismiss = qobject_cast<QToolButton*>(dismissError_))
        dismiss->setIcon(Symbols::icon("xmark", palette().color(QPalette::ButtonText), 12));
    // The rows' dots and symbols are drawn in the old colours.
    savedShown_.clear();
    nearbyShown_.clear();
    fillSaved();
    fillNearby();
}

void SettingsView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && tvsButton_ != nullptr) restyle();
}

}  // namespace orvel

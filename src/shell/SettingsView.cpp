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
#include "shell/Symbols.hpp"
#include "shell/WidgetText.hpp"

namespace orvel {

namespace {

using WidgetText::faded;
using WidgetText::setHelp;
using WidgetText::words;

constexpr int kSettingsMargin = 16;
constexpr int kSettingsGap = 8;
constexpr int kSettingsRow = 28;
constexpr int kSettingsNameWidth = 150;
constexpr qreal kSecondaryText = 0.6;
const QColor kOrange(0xE0, 0x7A, 0x10);
const QColor kGreen(0x34, 0xC7, 0x59);

void setColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

void setSmall(QWidget* widget) {
    QFont font = widget->font();
    font.setPixelSize(11);
    widget->setFont(font);
}

QLabel* label(const QString& text, QWidget* parent, bool wraps = false) {
    auto* result = new QLabel(text, parent);
    result->setWordWrap(wraps);
    return result;
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* result = label(text, parent);
    QFont font = result->font();
    font.setBold(true);
    result->setFont(font);
    return result;
}

// A borderless button that reads as a link (coloured by restyle()).
QPushButton* linkButton(QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setProperty("link", true);
    return button;
}

void setLinkColour(QWidget* button, const QPalette& from) {
    QPalette palette = button->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::ButtonText, from.color(group, QPalette::Link));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText,
                     faded(from.color(QPalette::WindowText), 0.35));
    button->setPalette(palette);
}

QPushButton* pushButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    setHelp(button, text);
    return button;
}

QProgressBar* spinner(QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(36, 6);
    return bar;
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    return line;
}

QHBoxLayout* row(QWidget* parent = nullptr) {
    auto* layout = parent ? new QHBoxLayout(parent) : new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSettingsGap);
    return layout;
}

QVBoxLayout* column(QWidget* parent) {
    auto* layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    return layout;
}

QPixmap dotPixmap(SettingsModel::Dot dot, const QPalette& palette) {
    QPixmap pixmap(16, 16);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(
        dot == SettingsModel::Dot::off ? faded(palette.color(QPalette::WindowText), 0.3) : kGreen);
    painter.drawEllipse(QRectF(0.5, 0.5, 7, 7));
    return pixmap;
}

// The TV of `id` in `list`, copied: the list may change before the copy is used.
std::optional<TVDevice> deviceIn(const std::vector<TVDevice>& list, const std::string& id) {
    for (const TVDevice& tv : list) {
        if (tv.id == id) return tv;
    }
    return std::nullopt;
}

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

void SettingsView::build() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kSettingsMargin, kSettingsMargin, kSettingsMargin, kSettingsMargin);
    layout->setSpacing(10);
    layout->addWidget(buildTVs());
    layout->addWidget(buildPairing());
    layout->addWidget(buildNearby());
    layout->addWidget(divider(this));
    layout->addWidget(buildPreferences());

    errorLine_ = new QWidget(this);
    auto* errorRow = row(errorLine_);
    errorText_ = label({}, errorLine_, true);
    errorText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* dismiss = new QToolButton(errorLine_);
    dismiss->setAutoRaise(true);
    setHelp(dismiss, QStringLiteral("Dismiss error"));
    connect(dismiss, &QToolButton::clicked, this, [this] { store_.dismissError(); });
    dismissError_ = dismiss;
    errorRow->addWidget(errorText_, 1);
    errorRow->addWidget(dismiss, 0, Qt::AlignTop);
    layout->addWidget(errorLine_);

    layout->addWidget(divider(this));
    layout->addWidget(buildFooter());
}

QWidget* SettingsView::buildTVs() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("televisions"));
    auto* layout = column(section);
    auto* top = row();
    top->addWidget(heading(QStringLiteral("TVs"), section));
    top->addStretch(1);
    tvsButton_ = linkButton(section);
    connect(tvsButton_, &QPushButton::clicked, this, [this] {
        if (store_.state().settingsTab == "tvs") {
            store_.cancelPairing();
            store_.setSettingsTab("general");
        } else {
            store_.setSettingsTab("tvs");
            store_.scan();
        }
    });
    top->addWidget(tvsButton_);
    layout->addLayout(top);

    noSaved_ = label(QStringLiteral("No paired TVs"), section);
    setSmall(noSaved_);
    layout->addWidget(noSaved_);
    savedList_ = new QWidget;
    column(savedList_)->setSpacing(0);
    savedScroll_ = new QScrollArea(section);
    savedScroll_->setWidget(savedList_);
    savedScroll_->setWidgetResizable(true);
    savedScroll_->setFrameShape(QFrame::NoFrame);
    savedScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    savedScroll_->setAccessibleName(QStringLiteral("Paired TVs"));
    layout->addWidget(savedScroll_);
    return section;
}

QWidget* SettingsView::buildPairing() {
    pairing_ = new QWidget(this);
    auto* layout = column(pairing_);
    pairingPrompt_ = label({}, pairing_, true);
    layout->addWidget(pairingPrompt_);
    auto* entry = row();
    pin_ = new QLineEdit(pairing_);
    pin_->setPlaceholderText(QStringLiteral("4-digit code"));
    setHelp(pin_, QStringLiteral("4-digit code"));
    connect(pin_, &QLineEdit::textEdited, this,
            [this](const QString& text) { store_.setPairingPIN(text.toStdString()); });
    connect(pin_, &QLineEdit::returnPressed, this, [this] { store_.submitPIN(); });
    entry->addWidget(pin_, 1);
    pairingBusy_ = spinner(pairing_);
    entry->addWidget(pairingBusy_);
    layout->addLayout(entry);
    auto* buttons = row();
    buttons->addStretch(1);
    auto* cancel = pushButton(QStringLiteral("Cancel"), pairing_);
    connect(cancel, &QPushButton::clicked, this, [this] { store_.cancelPairing(); });
    buttons->addWidget(cancel);
    pair_ = pushButton(QStringLiteral("Pair"), pairing_);
    pair_->setDefault(true);
    connect(pair_, &QPushButton::clicked, this, [this] { store_.submitPIN(); });
    buttons->addWidget(pair_);
    layout->addLayout(buttons);
    return pairing_;
}

QWidget* SettingsView::buildNearby() {
    nearby_ = new QWidget(this);
    nearby_->setObjectName(QStringLiteral("nearby"));
    auto* layout = column(nearby_);
    auto* top = row();
    nearbyHeading_ = heading({}, nearby_);
    top->addWidget(nearbyHeading_);
    scanningBar_ = spinner(nearby_);
    top->addWidget(scanningBar_);
    top->addStretch(1);
    refresh_ = linkButton(nearby_);
    refresh_->setText(QStringLiteral("Refresh"));
    setHelp(refresh_, QStringLiteral("Refresh"));
    connect(refresh_, &QPushButton::clicked, this, [this] { store_.scan(); });
    top->addWidget(refresh_);
    layout->addLayout(top);
    nearbyList_ = new QWidget(nearby_);
    column(nearbyList_)->setSpacing(0);
    layout->addWidget(nearbyList_);
    noNearby_ = label(QStringLiteral("No new TVs found"), nearby_);
    setSmall(noNearby_);
    layout->addWidget(noNearby_);
    return nearby_;
}

QCheckBox* SettingsView::addSwitch(QVBoxLayout* layout, const char* text,
                                   std::function<void(AppStore&, bool)> set) {
    auto* box = new QCheckBox(QString::fromUtf8(text), this);
    setHelp(box, box->text());
    connect(box, &QCheckBox::clicked, this,
            [this, set = std::move(set)](bool on) { set(store_, on); });
    layout->addWidget(box);
    return box;
}

QWidget* SettingsView::buildPreferences() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("preferences"));
    auto* layout = column(section);
    login_ = addSwitch(layout, "Open at login", [](AppStore& s, bool on) { s.setLogin(on); });
    follow_ = addSwitch(layout, "Open on the TV that's playing",
                        [](AppStore& s, bool on) { s.setFollowPlaying(on); });
    tray_ = addSwitch(layout, "Show Orvel in the system tray",
                      [](AppStore& s, bool on) { s.setShowsMenuBarIcon(on); });
    trayHint_ = label({}, section, true);
    setSmall(trayHint_);
    layout->addWidget(trayHint_);
    mediaKeys_ = addSwitch(layout, "Super + media keys control TV",
                           [](AppStore& s, bool on) { s.setMediaKeys(on); });
    commandVolume_ = addSwitch(layout, "Super + volume keys control TV",
                               [](AppStore& s, bool on) { s.setCommandVolume(on); });

    accessButton_ = linkButton(section);
    connect(accessButton_, &QPushButton::clicked, this, [this] {
        if (actions_.requestAccess) actions_.requestAccess();
    });
    layout->addWidget(accessButton_, 0, Qt::AlignLeft);
    accessText_ = label(QString::fromUtf8(SettingsModel::kCaptureFailed), section, true);
    setSmall(accessText_);
    layout->addWidget(accessText_);
    shortcutError_ = label({}, section, true);
    setSmall(shortcutError_);
    layout->addWidget(shortcutError_);

    auto* shortcutRow = row();
    shortcutRow->addWidget(label(QStringLiteral("Open remote"), section), 1);
    shortcut_ = new QPushButton(section);
    connect(shortcut_, &QPushButton::clicked, this, [this] {
        store_.setRecordingShortcut(!store_.state().recordingShortcut);
        store_.setShortcutError("");
    });
    shortcutRow->addWidget(shortcut_);
    layout->addLayout(shortcutRow);

    auto* installRow = row();
    installRow->addWidget(label(QStringLiteral("Command line"), section), 1);
    install_ = new QPushButton(section);
    connect(install_, &QPushButton::clicked, this, &SettingsView::install);
    installRow->addWidget(install_);
    layout->addLayout(installRow);
    installNoteLabel_ = label({}, section, true);
    installNoteLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setSmall(installNoteLabel_);
    layout->addWidget(installNoteLabel_);

    storage_ = label({}, section, true);
    storage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setSmall(storage_);
    storage_->setAccessibleName(QStringLiteral("Storage"));
    layout->addWidget(storage_);
    return section;
}

QWidget* SettingsView::buildFooter() {
    auto* section = new QWidget(this);
    section->setObjectName(QStringLiteral("footer"));
    auto* layout = column(section);
    auto* buttons = row();
    about_ = linkButton(section);
    connect(about_, &QPushButton::clicked, this, [this] {
        aboutExpanded_ = !aboutExpanded_;
        refresh();
    });
    buttons->addWidget(about_);
    buttons->addStretch(1);
    auto* quit = pushButton(QStringLiteral("Quit Orvel"), section);
    connect(quit, &QPushButton::clicked, this, [this] {
        if (actions_.quit) actions_.quit();
    });
    buttons->addWidget(quit);
    layout->addLayout(buttons);

    aboutSection_ = new QWidget(section);
    auto* about = column(aboutSection_);
    aboutTitle_ = label({}, aboutSection_);
    about->addWidget(aboutTitle_);
    auto* credit = label(words(actions_.builtOn), aboutSection_, true);
    setSmall(credit);
    about->addWidget(credit);
    auto* notices = pushButton(QStringLiteral("Acknowledgements"), aboutSection_);
    connect(notices, &QPushButton::clicked, this, [this] {
        if (actions_.showNotices) actions_.showNotices();
    });
    about->addWidget(notices, 0, Qt::AlignLeft);
    layout->addWidget(aboutSection_);
    return section;
}

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
    fillNearby();

    login_->setChecked(m.launchAtLogin);
    follow_->setChecked(m.followPlaying);
    tray_->setChecked(m.showsTray);
    trayHint_->setText(words(m.trayHint));
    trayHint_->setVisible(!m.trayHint.empty());
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

#include "shell/SettingsView.hpp"

// SettingsView's sections, built once; refresh() fills them from the model.

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
    nearbyNotice_ = label({}, nearby_, /*wraps=*/true);
    nearbyNotice_->setObjectName(QStringLiteral("nearbyNotice"));
    setSmall(nearbyNotice_);
    layout->addWidget(nearbyNotice_);
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
    mediaControls_ = addSwitch(layout, "Show the TV in the desktop's media controls",
                               [](AppStore& s, bool on) { s.setShowsInMediaControls(on); });
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

}  // namespace orvel

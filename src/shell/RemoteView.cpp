#include "shell/RemoteView.hpp"

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

namespace {

using WidgetText::faded;
using WidgetText::setHelp;
using WidgetText::words;

// Layout constants of the remote, in pixels.
constexpr int kMargin = 14;
constexpr int kRowInset = 5;
constexpr int kGap = 8;
constexpr int kRowHeight = 32;
constexpr int kControlHeight = 36;
constexpr int kTransportWidth = 36;
constexpr int kCircle = 26;
constexpr int kPad = 144;
constexpr int kDirection = 38;
constexpr int kCentre = 46;
constexpr int kFieldHeight = 18;
constexpr qreal kSecondary = 0.55;
// The seek symbols carry their "10" inside the ring, which needs the room.
constexpr std::array<qreal, 5> kTransportPoints{14, 17, 20, 17, 14};

// The remote's sizes are points of one logical pixel each.
void setPoints(QWidget* widget, int points, QFont::Weight weight = QFont::Normal) {
    QFont font = widget->font();
    font.setPixelSize(points);
    font.setWeight(weight);
    widget->setFont(font);
}

void apply(RemoteButton* button, const RemoteModel::Button& model, qreal points = 0) {
    button->setSymbol(model.symbol, points);
    button->setHelp(words(model.help));
    button->setEnabled(model.enabled);
}

void apply(RemoteButton* button, const RemoteModel::Row& row, bool turned = false) {
    const bool trailingSymbol = row.trailing.find('.') != std::string::npos;
    button->setRow(words(row.title), row.symbol, trailingSymbol ? QString() : words(row.trailing),
                   trailingSymbol ? row.trailing : std::string(), turned);
    button->setHelp(words(row.help.empty() ? row.title : row.help));
    button->setEnabled(row.enabled);
}

QPixmap chipPixmap(std::string_view symbol, const QPalette& palette) {
    QPixmap tile(RemoteButton::kChip * 2, RemoteButton::kChip * 2);
    tile.setDevicePixelRatio(2);
    tile.fill(Qt::transparent);
    QPainter painter(&tile);
    RemoteButton::paintChip(painter, {0, 0}, symbol, palette);
    return tile;
}

}  // namespace

RemoteView::RemoteView(AppStore& store, Actions actions, QWidget* parent)
    : QWidget(parent),
      store_(store),
      actions_(std::move(actions)),
      apps_(actions_.knownApps ? *actions_.knownApps : ownApps_) {
    setFixedWidth(kWidth);
    build();
    restyle();
    ensurePolished();
    refresh();
    // `this` owns the subscription, which ends before the view does.
    subscription_ = store_.observe([this] { refresh(); });
}

RemoteView::~RemoteView() {
    // A list this view asked for is asked for again by the next one.
    for (const std::string& tv : appsAsked_) apps_[tv].loading = false;
}

RemoteTextEntry* RemoteView::textEntry() const {
    return entry_;
}

bool RemoteView::editingText() const {
    return entry_ != nullptr && entry_->hasFocus();
}

void RemoteView::build() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    column->setSpacing(kGap);
    column->addWidget(buildHeader());

    errorLine_ = new QWidget(this);
    auto* errorRow = new QHBoxLayout(errorLine_);
    errorRow->setContentsMargins(0, 0, 0, 0);
    errorRow->setSpacing(6);
    errorSymbol_ = new QLabel(errorLine_);
    errorSymbol_->setFixedSize(14, 16);
    errorText_ = new QLabel(errorLine_);
    errorText_->setWordWrap(true);
    errorText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setPoints(errorText_, 12);
    errorRow->addWidget(errorSymbol_, 0, Qt::AlignTop);
    errorRow->addWidget(errorText_, 1);
    column->addWidget(errorLine_);

    auto* transport = new QHBoxLayout;
    transport->setSpacing(0);
    for (std::size_t index = 0; index < transport_.size(); ++index) {
        if (index > 0) transport->addStretch(1);
        auto* button =
            new RemoteButton(RemoteButton::Shape::glyph, {kTransportWidth, kControlHeight}, this);
        connect(button, &QAbstractButton::clicked, this,
                [this, index] { store_.send(model_.transport.at(index).action); });
        transport_.at(index) = button;
        transport->addWidget(button);
    }
    column->addLayout(transport);

    auto* volume = new QHBoxLayout;
    volume->setSpacing(kGap);
    mute_ = new RemoteButton(RemoteButton::Shape::circle, {kCircle, kCircle}, this);
    connect(mute_, &QAbstractButton::clicked, this, [this] { store_.send(RemoteAction::mute); });
    volume_ = new QLabel(this);
    setPoints(volume_, 13);
    volumeDown_ = new RemoteButton(RemoteButton::Shape::circle, {kCircle, kCircle}, this);
    connect(volumeDown_, &QAbstractButton::clicked, this, [this] { store_.adjustVolume(-1); });
    volumeUp_ = new RemoteButton(RemoteButton::Shape::circle, {kCircle, kCircle}, this);
    connect(volumeUp_, &QAbstractButton::clicked, this, [this] { store_.adjustVolume(1); });
    volume->addWidget(mute_);
    volume->addWidget(volume_, 1);
    volume->addWidget(volumeDown_);
    volume->addWidget(volumeUp_);
    column->addLayout(volume);

    const auto divider = [this] {
        auto* line = new QWidget(this);
        line->setFixedHeight(1);
        return line;
    };
    dividers_[0] = divider();
    column->addWidget(dividers_[0]);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(2);
    const QSize rowSize(0, kRowHeight);
    navigation_ = new RemoteButton(RemoteButton::Shape::row, rowSize, this);
    connect(navigation_, &QAbstractButton::clicked, this,
            [this] { store_.setNavigationExpanded(!model_.navigationExpanded); });
    rows->addWidget(navigation_);
    rows->addWidget(buildPad());

    textRow_ = new RemoteButton(RemoteButton::Shape::row, rowSize, this);
    connect(textRow_, &QAbstractButton::clicked, this, [this] { store_.focusText(); });
    rows->addWidget(textRow_);
    textField_ = new QWidget(this);
    textField_->setFixedHeight(kRowHeight);
    auto* field = new QHBoxLayout(textField_);
    field->setContentsMargins(kRowInset, 0, kRowInset, 0);
    field->setSpacing(kGap);
    textChip_ = new QLabel(textField_);
    textChip_->setFixedSize(RemoteButton::kChip, RemoteButton::kChip);
    field->addWidget(textChip_);
    rows->addWidget(textField_);
    textError_ = new QLabel(this);
    textError_->setWordWrap(true);
    textError_->setContentsMargins(kRowInset, 0, kRowInset, 0);
    setPoints(textError_, 12);
    rows->addWidget(textError_);
    appsRow_ = new RemoteButton(RemoteButton::Shape::row, rowSize, this);
    connect(appsRow_, &QAbstractButton::clicked, this, &RemoteView::showAppsMenu);
    rows->addWidget(appsRow_);
    appsMenu_ = new QMenu(this);
    appsMenu_->setObjectName(QStringLiteral("appsMenu"));
    column->addLayout(rows);

    dividers_[1] = divider();
    column->addWidget(dividers_[1]);

    settings_ = new RemoteButton(RemoteButton::Shape::row, rowSize, this);
    connect(settings_, &QAbstractButton::clicked, this, [this] {
        store_.setSettingsTab("general");
        if (actions_.showSettings) actions_.showSettings();
    });
    column->addWidget(settings_);

    textField_->hide();
    textError_->hide();
}

QWidget* RemoteView::buildHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kGap);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);

    picker_ = new RemoteButton(RemoteButton::Shape::title, {0, kCircle}, header);
    picker_->setObjectName(QStringLiteral("picker"));
    picker_->setHelp(QString::fromUtf8(RemoteModel::kPickerHelp));
    pickerMenu_ = new QMenu(this);
    pickerMenu_->setObjectName(QStringLiteral("pickerMenu"));
    connect(picker_, &QAbstractButton::clicked, this, &RemoteView::showPickerMenu);
    titles->addWidget(picker_, 0, Qt::AlignLeft);

    status_ = new QWidget(header);
    auto* status = new QHBoxLayout(status_);
    status->setContentsMargins(4, 0, 0, 0);
    status->setSpacing(4);
    statusSymbol_ = new QLabel(status_);
    statusSymbol_->setFixedSize(9, 9);
    statusText_ = new QLabel(status_);
    statusText_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setPoints(statusText_, 12);
    status->addWidget(statusSymbol_);
    status->addWidget(statusText_, 1);
    titles->addWidget(status_);
    row->addLayout(titles, 1);

    power_ = new RemoteButton(RemoteButton::Shape::circle, {kCircle, kCircle}, header);
    power_->setSymbol("power");
    power_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(power_, &QAbstractButton::clicked, this, [this] { store_.send(model_.power.action); });
    connect(power_, &QWidget::customContextMenuRequested, this, &RemoteView::showPowerMenu);
    row->addWidget(power_, 0, Qt::AlignTop);
    return header;
}

QWidget* RemoteView::buildPad() {
    padRow_ = new QWidget(this);
    auto* row = new QHBoxLayout(padRow_);
    row->setContentsMargins(kRowInset, 4, kRowInset, 4);
    pad_ = new QWidget(padRow_);
    pad_->setFixedSize(kPad, kPad);

    constexpr int kNear = 0;
    constexpr int kMiddle = (kPad - kDirection) / 2;
    constexpr int kFar = kPad - kDirection;
    const std::array<QPoint, 4> directions{
        {{kMiddle, kNear}, {kMiddle, kFar}, {kNear, kMiddle}, {kFar, kMiddle}}};
    for (std::size_t index = 0; index < padButtons_.size(); ++index) {
        RemoteButton* button = nullptr;
        if (index < directions.size()) {
            button = new RemoteButton(RemoteButton::Shape::glyph, {kDirection, kDirection}, pad_);
            button->move(directions.at(index));
        } else if (index == directions.size()) {
            button = new RemoteButton(RemoteButton::Shape::circle, {kCentre, kCentre}, pad_);
            button->setText(QStringLiteral("OK"));
            button->setRestingOpacity(0.09);
            button->move((kPad - kCentre) / 2, (kPad - kCentre) / 2);
        } else {
            button =
                new RemoteButton(RemoteButton::Shape::glyph, {kDirection, kDirection}, padRow_);
        }
        connect(button, &QAbstractButton::clicked, this,
                [this, index] { store_.send(model_.pad.at(index).action); });
        padButtons_.at(index) = button;
    }
    row->addWidget(padButtons_[5], 0, Qt::AlignBottom);
    row->addStretch(1);
    row->addWidget(pad_);
    row->addStretch(1);
    row->addWidget(padButtons_[6], 0, Qt::AlignBottom);
    padRow_->hide();
    return padRow_;
}

void RemoteView::refresh() {
    const AppState& state = store_.state();
    model_ = RemoteModel::make(state, store_.tvKind(),
                               [this](RemoteAction action) { return store_.can(action); });

    const int titleRoom = kWidth - 2 * kMargin - kCircle - kGap;
    picker_->setText(words(model_.pickerTitle));
    picker_->setMaximumWidth(titleRoom);
    picker_->updateGeometry();
    pickerMenu_->clear();
    for (const auto& entry : model_.pickerEntries) {
        QAction* choice = pickerMenu_->addAction(words(entry.name));
        if (!entry.symbol.empty()) {
            choice->setIcon(Symbols::icon(entry.symbol, palette().color(QPalette::Text), 14));
        }
        connect(choice, &QAction::triggered, this, [this, id = entry.id] {
            if (const TVDevice* device = store_.state().savedDevice(id)) store_.connect(*device);
        });
    }
    pickerMenu_->addSeparator();
    connect(pickerMenu_->addAction(QString::fromUtf8(RemoteModel::kPairNew)), &QAction::triggered,
            this, [this] {
                store_.setSettingsTab("tvs");
                if (actions_.showSettings) actions_.showSettings();
                store_.scan();
            });

    const QColor secondary = faded(palette().color(QPalette::WindowText), kSecondary);
    statusSymbol_->setVisible(!model_.status.symbol.empty());
    if (!model_.status.symbol.empty()) {
        statusSymbol_->setPixmap(Symbols::pixmap(model_.status.symbol, secondary, 9));
    }
    statusText_->setText(statusText_->fontMetrics().elidedText(words(model_.status.text),
                                                               Qt::ElideRight, titleRoom - 16));
    setHelp(status_, words(model_.status.help));

    power_->setOn(model_.power.on);
    power_->setHelp(words(model_.power.help));
    power_->setEnabled(model_.power.enabled);

    errorLine_->setVisible(!model_.error.empty());
    errorText_->setText(words(model_.error));
    setHelp(errorText_, words(model_.error));

    for (std::size_t index = 0; index < transport_.size(); ++index) {
        apply(transport_.at(index), model_.transport.at(index), kTransportPoints.at(index));
    }
    apply(mute_, model_.mute);
    volume_->setText(words(model_.volumeText));
    setHelp(volume_, words(model_.volumeText));
    apply(volumeDown_, model_.volumeDown);
    apply(volumeUp_, model_.volumeUp);

    apply(navigation_, model_.navigation, model_.navigationExpanded);
    padRow_->setVisible(model_.navigationExpanded);
    for (std::size_t index = 0; index < padButtons_.size(); ++index) {
        apply(padButtons_.at(index), model_.pad.at(index), 16);
    }

    apply(textRow_, model_.text);
    apply(appsRow_, model_.apps);
    apply(settings_, model_.settings);
    showTextEntry(model_.textEntryVisible);
    if (entry_) {
        entry_->setTvKind(QString::fromUtf8(store_.tvKind().data(),
                                            static_cast<qsizetype>(store_.tvKind().size())));
        entry_->setFocusRequest(state.focusTextRequest);
    }
    fitHeight();
}

void RemoteView::showTextEntry(bool shown) {
    if (shown == (entry_ != nullptr)) return;
    textRow_->setVisible(!shown);
    textField_->setVisible(shown);
    if (!shown) {
        entry_->hide();
        entry_->deleteLater();
        entry_ = nullptr;
        textError_->hide();
        return;
    }
    entry_ = new RemoteTextEntry(store_, textField_);
    entry_->setFixedHeight(kFieldHeight);
    entry_->setText(typed_);
    connect(entry_, &QLineEdit::textChanged, this, [this](const QString& text) { typed_ = text; });
    connect(entry_, &RemoteTextEntry::textErrorChanged, this, [this](const QString& error) {
        textError_->setText(error);
        setHelp(textError_, error);
        textError_->setVisible(!error.isEmpty());
        fitHeight();
    });
    textField_->layout()->addWidget(entry_);
    entry_->show();
}

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

void RemoteView::restyle() {
    const QColor text = palette().color(QPalette::WindowText);
    for (QLabel* label : {statusText_, volume_, textError_, errorText_}) {
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, faded(text, kSecondary));
        label->setPalette(colours);
    }
    errorSymbol_->setPixmap(
        Symbols::pixmap("exclamationmark.triangle.fill", QColor(0xF5, 0xA5, 0x24), 14));
    textChip_->setPixmap(chipPixmap("keyboard", palette()));
    if (!model_.status.symbol.empty()) {
        statusSymbol_->setPixmap(Symbols::pixmap(model_.status.symbol, faded(text, kSecondary), 9));
    }
    update();
}

void RemoteView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && picker_ != nullptr) restyle();
}

void RemoteView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor primary = palette().color(QPalette::WindowText);
    for (QWidget* divider : dividers_) {
        painter.fillRect(divider->geometry(), faded(primary, 0.12));
    }
    if (padRow_->isVisible()) {
        painter.setBrush(faded(primary, 0.07));
        painter.drawEllipse(QRect(pad_->mapTo(this, QPoint(0, 0)), pad_->size()));
    }
    if (textField_->isVisible()) {
        painter.setBrush(faded(primary, 0.06));
        painter.drawRoundedRect(QRectF(textField_->geometry()), 6, 6);
    }
}

int RemoteView::contentHeight() const {
    return layout()->hasHeightForWidth() ? layout()->heightForWidth(kWidth)
                                         : layout()->sizeHint().height();
}

void RemoteView::fitHeight() {
    // Brings the nested rows' cached sizes up to date with what was just shown or hidden.
    layout()->activate();
    const int height = contentHeight();
    // Zero: not measured yet (the first refresh, in the constructor).
    const int before = std::exchange(height_, height);
    if (before != 0 && before != height && actions_.resize) actions_.resize();
}

}  // namespace orvel

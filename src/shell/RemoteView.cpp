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
#include "shell/RemoteWidgets.hpp"
#include "shell/Symbols.hpp"
#include "shell/WidgetText.hpp"

namespace orvel {

namespace {

using namespace RemoteWidgets;

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

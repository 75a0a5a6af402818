#include "shell/RemoteView.hpp"

// RemoteView's widgets, built once; refresh() fills them from the model.

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

}  // namespace orvel

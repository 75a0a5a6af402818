#include "shell/RemoteButton.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <utility>

#include "shell/Symbols.hpp"

namespace orvel {

namespace {

constexpr qreal kRowRadius = 6;
constexpr qreal kGlyphRadius = 8;
constexpr int kRowPadding = 5;
constexpr int kRowSpacing = 8;
constexpr int kTitlePoints = 15;
constexpr int kTitlePadding = 4;
constexpr int kTitleGap = 5;
constexpr int kTitleChevron = 9;

QColor withAlpha(QColor color, qreal alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

QColor primary(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::WindowText);
}

// Sizes are given as the remote's points, one point a logical pixel.
QFont sized(QFont font, int points, QFont::Weight weight = QFont::Normal) {
    font.setPixelSize(points);
    font.setWeight(weight);
    return font;
}

}  // namespace

RemoteButton::RemoteButton(Shape shape, QSize size, QWidget* parent)
    : QAbstractButton(parent), shape_(shape), size_(size) {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);  // the remote's keys go to the TV, not from button to button
    if (shape_ == Shape::row) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    } else if (shape_ == Shape::title) {
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        setFixedHeight(size_.height());
    } else {
        setFixedSize(size_);
    }
}

void RemoteButton::setSymbol(std::string symbol, qreal points) {
    if (symbol == symbol_ && points == points_) return;
    symbol_ = std::move(symbol);
    points_ = points;
    update();
}

void RemoteButton::setOn(bool on) {
    if (on == on_) return;
    on_ = on;
    update();
}

void RemoteButton::setHelp(const QString& help) {
    setToolTip(help);
    setAccessibleName(help);
}

void RemoteButton::setRow(const QString& title, std::string chip, const QString& trailingText,
                          std::string trailingSymbol, bool turned) {
    setText(title);
    chip_ = std::move(chip);
    trailingText_ = trailingText;
    trailingSymbol_ = std::move(trailingSymbol);
    turned_ = turned;
    update();
}

QSize RemoteButton::sizeHint() const {
    if (shape_ != Shape::title) return size_;
    const QFontMetrics metrics(sized(font(), kTitlePoints, QFont::DemiBold));
    const int full = kTitlePadding + metrics.horizontalAdvance(text()) + kTitleGap + kTitleChevron +
                     kTitlePadding;
    return {std::min(full, maximumWidth()), size_.height()};
}

void RemoteButton::paintTitle(QPainter& painter) {
    const QColor ink = primary(palette());
    if (isDown() || underMouse()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(ink, isDown() ? 0.14 : 0.07));
        painter.drawRoundedRect(QRectF(rect()), kRowRadius, kRowRadius);
    }
    painter.setFont(sized(font(), kTitlePoints, QFont::DemiBold));
    painter.setPen(ink);
    const int room = width() - 2 * kTitlePadding - kTitleGap - kTitleChevron;
    const QString title = painter.fontMetrics().elidedText(text(), Qt::ElideRight, room);
    const int titleWidth = painter.fontMetrics().horizontalAdvance(title);
    painter.drawText(QRect(kTitlePadding, 0, titleWidth, height()), Qt::AlignVCenter, title);
    const qreal left = kTitlePadding + titleWidth + kTitleGap;
    Symbols::paint(painter,
                   QRectF(left, (height() - kTitleChevron) / 2.0, kTitleChevron, kTitleChevron),
                   "chevron.down", withAlpha(ink, 0.55));
}

void RemoteButton::paintChip(QPainter& painter, QPointF topLeft, std::string_view symbol,
                             const QPalette& palette) {
    const QRectF tile(topLeft, QSizeF(kChip, kChip));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(primary(palette), 0.08));
    painter.drawRoundedRect(tile, 6, 6);
    const qreal glyph = 12;
    Symbols::paint(painter,
                   QRectF(tile.center() - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph)),
                   symbol, primary(palette));
    painter.restore();
}

void RemoteButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (shape_) {
        case Shape::circle:
            paintCircle(painter);
            break;
        case Shape::glyph:
            paintGlyph(painter);
            break;
        case Shape::row:
            paintRow(painter);
            break;
        case Shape::title:
            paintTitle(painter);
            break;
    }
}

void RemoteButton::paintCircle(QPainter& painter) {
    const bool enabled = isEnabled();
    const bool hovered = enabled && underMouse();
    if (!enabled) painter.setOpacity(0.4);
    const qreal diameter = std::min(width(), height());
    const QRectF circle((width() - diameter) / 2, (height() - diameter) / 2, diameter, diameter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(on_ ? palette().color(QPalette::Active, QPalette::Highlight)
                         : withAlpha(primary(palette()), hovered ? 0.16 : resting_));
    painter.drawEllipse(circle);
    if (isDown()) {
        painter.setBrush(withAlpha(Qt::black, 0.15));
        painter.drawEllipse(circle);
    }
    const QColor ink = on_ ? QColor(Qt::white) : primary(palette());
    if (!symbol_.empty()) {
        const qreal glyph = points_ > 0 ? points_ : 0.43 * diameter;
        Symbols::paint(
            painter, QRectF(circle.center() - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph)),
            symbol_, ink);
    } else {
        painter.setFont(sized(font(), 12, QFont::Medium));
        painter.setPen(ink);
        painter.drawText(circle, Qt::AlignCenter, text());
    }
}

void RemoteButton::paintGlyph(QPainter& painter) {
    const bool enabled = isEnabled();
    if (!enabled) painter.setOpacity(0.35);
    const QColor ink = primary(palette());
    if (enabled && (isDown() || underMouse())) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(ink, isDown() ? 0.14 : 0.07));
        painter.drawRoundedRect(QRectF(rect()), kGlyphRadius, kGlyphRadius);
    }
    const qreal glyph = points_ > 0 ? points_ : 14;
    const QPointF centre = QRectF(rect()).center();
    Symbols::paint(painter, QRectF(centre - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph)),
                   symbol_, ink);
}

void RemoteButton::paintRow(QPainter& painter) {
    const bool enabled = isEnabled();
    if (!enabled) painter.setOpacity(0.4);
    const QColor ink = primary(palette());
    if (enabled && (isDown() || underMouse())) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(ink, isDown() ? 0.16 : 0.09));
        painter.drawRoundedRect(QRectF(rect()), kRowRadius, kRowRadius);
    }
    const qreal middle = height() / 2.0;
    paintChip(painter, QPointF(kRowPadding, middle - kChip / 2.0), chip_, palette());

    const int titleLeft = kRowPadding + kChip + kRowSpacing;
    int right = width() - kRowPadding;
    if (!trailingSymbol_.empty()) {
        constexpr qreal kTrailing = 10;
        const QColor secondary = withAlpha(ink, 0.55);
        painter.save();
        painter.translate(right - kTrailing / 2 - 3, middle);
        if (turned_) painter.rotate(90);
        Symbols::paint(painter, QRectF(-kTrailing / 2, -kTrailing / 2, kTrailing, kTrailing),
                       trailingSymbol_, secondary);
        painter.restore();
        right -= static_cast<int>(kTrailing) + 6;
    } else if (!trailingText_.isEmpty()) {
        painter.setFont(sized(font(), 13));
        painter.setPen(withAlpha(ink, 0.55));
        const int textWidth = painter.fontMetrics().horizontalAdvance(trailingText_);
        painter.drawText(QRect(right - textWidth, 0, textWidth, height()), Qt::AlignVCenter,
                         trailingText_);
        right -= textWidth + kRowSpacing;
    }
    painter.setFont(sized(font(), 13));
    painter.setPen(ink);
    const QRect titleBox(titleLeft, 0, std::max(0, right - titleLeft), height());
    painter.drawText(titleBox, Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(text(), Qt::ElideRight, titleBox.width()));
}

}  // namespace orvel

#include "shell/MenuBarPreview.hpp"

#include <QPainter>
#include <cmath>

#include "shell/OrvelMark.hpp"

namespace orvel {
namespace {

constexpr int kGlyph = 18;  // points, as in the tray
constexpr int kItem = 26;   // the highlighted panel item around it
constexpr int kPanelInset = 4;
constexpr int kRightMargin = 12;

}  // namespace

MenuBarPreview::MenuBarPreview(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
}

QSize MenuBarPreview::sizeHint() const {
    return {kWidth, kHeight};
}

void MenuBarPreview::paintEvent(QPaintEvent*) {
    const QColor window = palette().color(QPalette::Window);
    const bool dark = window.lightness() < 128;
    const QColor panel = dark ? window.lighter(130) : window.darker(108);
    const QColor ink = palette().color(QPalette::WindowText);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(panel);
    const QRectF bar(kPanelInset, kPanelInset, width() - 2.0 * kPanelInset,
                     height() - 2.0 * kPanelInset);
    painter.drawRoundedRect(bar, 6, 6);

    const QRectF item(width() - kRightMargin - kItem, (height() - kItem) / 2.0, kItem, kItem);
    QColor hover = ink;
    hover.setAlphaF(0.12F);
    painter.setBrush(hover);
    painter.drawRoundedRect(item, 6, 6);

    // Drawn at the device's pixels, so that the 2x picture is as sharp as a 2x tray.
    const qreal ratio = painter.device()->devicePixelRatioF();
    QImage glyph = OrvelMark::trayImage(static_cast<int>(std::lround(kGlyph * ratio)), dark);
    glyph.setDevicePixelRatio(ratio);
    painter.drawImage(QPointF(item.center().x() - kGlyph / 2.0, item.center().y() - kGlyph / 2.0),
                      glyph);

    // Two shapes of other panel items, so the icon sits among neighbours.
    QColor other = ink;
    other.setAlphaF(0.28F);
    painter.setBrush(other);
    const double y = height() / 2.0 - 3;
    painter.drawRoundedRect(QRectF(kPanelInset + 10, y, 34, 6), 3, 3);
    painter.drawEllipse(QRectF(item.left() - 22, y - 2, 10, 10));
}

}  // namespace orvel

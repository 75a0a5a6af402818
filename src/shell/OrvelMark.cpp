#include "shell/OrvelMark.hpp"

#include <QPainter>
#include <QPen>
#include <array>

#include "shell/OrvelLeaf.hpp"

namespace orvel::OrvelMark {
namespace {

struct Curve {
    QPointF end, c1, c2;
};

constexpr QPointF kBodyStart{0.50, 0.22};
const std::array<Curve, 6> kBody{{
    {{0.32, 0.43}, {0.36, 0.19}, {0.37, 0.34}},
    {{0.17, 0.74}, {0.28, 0.53}, {0.14, 0.59}},
    {{0.50, 0.94}, {0.18, 0.91}, {0.35, 0.96}},
    {{0.83, 0.74}, {0.67, 0.96}, {0.82, 0.90}},
    {{0.67, 0.43}, {0.86, 0.59}, {0.72, 0.53}},
    {{0.50, 0.22}, {0.63, 0.33}, {0.63, 0.22}},
}};

// Design space of the tray glyph and where it sits in it.
constexpr double kTrayDesignSize = 20;
constexpr QPointF kTrayOffset{-2.2, -2.1};
constexpr double kVeinWidth = 1.4;

}  // namespace

QPainterPath path(const QRectF& rect) {
    const auto at = [&](QPointF unit) {
        return QPointF(rect.x() + unit.x() * rect.width(), rect.y() + unit.y() * rect.height());
    };
    QPainterPath p;
    p.setFillRule(Qt::WindingFill);
    p.moveTo(at(kBodyStart));
    for (const Curve& c : kBody) p.cubicTo(at(c.c1), at(c.c2), at(c.end));
    p.closeSubpath();

    p.moveTo(at({0.47, 0.22}));
    p.cubicTo(at({0.46, 0.12}), at({0.52, 0.05}), at({0.61, 0.04}));
    p.lineTo(at({0.64, 0.10}));
    p.cubicTo(at({0.56, 0.11}), at({0.53, 0.16}), at({0.54, 0.24}));
    p.closeSubpath();
    return p;
}

QImage trayImage(int pixels, bool darkPanel) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(pixels / kTrayDesignSize, pixels / kTrayDesignSize);
        painter.translate(kTrayOffset);
        painter.fillPath(OrvelLeaf::path(), darkPanel ? Qt::white : Qt::black);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setPen(QPen(Qt::black, kVeinWidth, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(5, 19), QPointF(13, 11));
    }
    // Tray protocols carry straight (not premultiplied) alpha.
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace orvel::OrvelMark

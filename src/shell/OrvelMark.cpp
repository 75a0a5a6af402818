#include "shell/OrvelMark.hpp"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <array>
#include <cmath>
#include <string_view>

#include "shell/ImageFiles.hpp"
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

// The icon in fractions of its size.
constexpr double kBodyInset = 0.06;
constexpr double kBodySize = 0.88;
constexpr double kBodyRadius = 0.2;
const QRectF kMarkRect(0.2, 0.17, 0.6, 0.66);
const QColor kBodyColour = QColor::fromRgbF(0.25F, 0.32F, 0.19F);
const QColor kMarkColour = QColor::fromRgbF(0.84F, 0.91F, 0.65F);

constexpr std::array<int, 5> kIconSizes{16, 32, 128, 256, 512};

QRectF scaledBy(const QRectF& unit, double size) {
    return {unit.x() * size, unit.y() * size, unit.width() * size, unit.height() * size};
}

// Short and exact enough for any icon size: two decimals, no trailing zeros.
std::string svgNumber(double value) {
    const double rounded = std::round(value * 100) / 100;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'g', 12).toStdString();
}

std::string svgPoint(const QPointF& p) {
    return svgNumber(p.x()) + " " + svgNumber(p.y());
}

// The outline as SVG path data; every subpath of the mark is closed.
std::string pathData(const QPainterPath& outline) {
    std::string d;
    for (int i = 0; i < outline.elementCount(); ++i) {
        const QPainterPath::Element e = outline.elementAt(i);
        if (e.type == QPainterPath::MoveToElement) {
            if (!d.empty()) d += "Z ";
            d += "M " + svgPoint(e) + " ";
        } else if (e.type == QPainterPath::LineToElement) {
            d += "L " + svgPoint(e) + " ";
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < outline.elementCount()) {
            d += "C " + svgPoint(e) + " " + svgPoint(outline.elementAt(i + 1)) + " " +
                 svgPoint(outline.elementAt(i + 2)) + " ";
            i += 2;
        }
    }
    return d + "Z";
}

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

QImage iconImage(int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32);
    if (image.isNull()) return image;
    image.fill(Qt::transparent);
    const double p = pixels;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBodyColour);
    painter.drawRoundedRect(QRectF(kBodyInset * p, kBodyInset * p, kBodySize * p, kBodySize * p),
                            kBodyRadius * p, kBodyRadius * p);
    painter.fillPath(path(scaledBy(kMarkRect, p)), kMarkColour);
    return image;
}

std::string iconSvg(int size) {
    const double p = size;
    const std::string s = std::to_string(size);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           s + "\" height=\"" + s + "\" viewBox=\"0 0 " + s + " " + s +
           "\">\n"
           "  <rect x=\"" +
           svgNumber(kBodyInset * p) + "\" y=\"" + svgNumber(kBodyInset * p) + "\" width=\"" +
           svgNumber(kBodySize * p) + "\" height=\"" + svgNumber(kBodySize * p) + "\" rx=\"" +
           svgNumber(kBodyRadius * p) + "\" fill=\"" + kBodyColour.name().toStdString() +
           "\"/>\n"
           "  <path fill=\"" +
           kMarkColour.name().toStdString() + "\" fill-rule=\"nonzero\" d=\"" +
           pathData(path(scaledBy(kMarkRect, p))) +
           "\"/>\n"
           "</svg>\n";
}

Result<void> writeIconSet(const std::filesystem::path& folder) {
    if (auto made = ImageFiles::makeFolder(folder); !made) return made;
    for (int size : kIconSizes) {
        for (int scale : {1, 2}) {
            const std::string side = std::to_string(size);
            std::string name = "icon_";
            name.append(side).append("x").append(side);
            name.append(scale == 2 ? "@2x.png" : ".png");
            const auto bytes = ImageFiles::png(iconImage(size * scale));
            if (!bytes) return Failure{"The icon " + name + " could not be drawn."};
            if (auto written = ImageFiles::write(folder / name, *bytes); !written) return written;
        }
    }
    const std::string svg = iconSvg();
    return ImageFiles::write(folder / "orvel-remote.svg",
                             QByteArray(svg.data(), static_cast<qsizetype>(svg.size())));
}

}  // namespace orvel::OrvelMark
